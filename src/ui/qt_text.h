#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace korvel {

// The core keeps its texts in UTF-8; the widgets want UTF-16.
inline QString toQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string toUtf8(const QString& text) { return text.toStdString(); }

}  // namespace korvel
