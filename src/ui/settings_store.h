#pragma once

#include <cstdint>

#include <QString>

#include "window/window_settings.h"

namespace korvel {

// The four operations the window needs of its settings store. A value that is missing or cannot
// be read gives the fallback; failed writes are not reported.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  virtual std::uint32_t readInteger(const QString& section, const QString& name,
                                    std::uint32_t fallback) = 0;
  virtual void writeInteger(const QString& section, const QString& name, std::uint32_t value) = 0;
  virtual QString readText(const QString& section, const QString& name,
                           const QString& fallback) = 0;
  virtual void writeText(const QString& section, const QString& name, const QString& value) = 0;
};

}  // namespace korvel
