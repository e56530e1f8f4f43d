#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

class QWidget;

namespace korvel {

// The About item of the main window: in the system menu where the platform has one (Windows),
// in the window's context menu elsewhere. An empty text adds nothing.
void addAboutItem(QWidget& window, const QString& text, const std::function<void()>& openAbout);

// Whether a native message is the About item's system command (always false without a system
// menu). The item's command 16 counts with any of its lowest four bits set.
bool isAboutCommand(const QByteArray& eventType, void* message);

}  // namespace korvel
