#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// Text from a device or an image made safe for a terminal: every C0 control, DEL and C1 control
// (U+0080 to U+009F) becomes \xHH, so that no byte from outside can move the cursor, clear the
// screen or start an escape sequence. UTF-8 in and out.
std::string escapeControls(std::string_view text);

// `text` with each of those controls replaced by what `escape` appends for its code.
std::string replaceControls(std::string_view text,
                            void (*escape)(std::string& out, std::uint8_t code));

}  // namespace korvel
