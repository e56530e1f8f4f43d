#pragma once

class QIcon;

namespace korvel {

// The window library's resources (help page, icon) live in a static library; they must be
// registered before the first lookup.
void initUiResources();

// Icon 128: the application icon at 16, 32 and 48 pixels.
QIcon applicationIcon();

}  // namespace korvel
