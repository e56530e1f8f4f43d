#pragma once

#include <optional>

#include <QSettings>

#include "ui/settings_store.h"

class QVariant;

namespace korvel {

// The per-user settings store: QSettings in the platform's native format (the registry on
// Windows, an INI file under the user's configuration folder elsewhere), under the organisation
// the settings have always used and the name of the executable.
class KorvelSettings : public SettingsStore {
 public:
  static constexpr char kOrganisation[] = "Local AppWizard-Generated Applications";

  // `applicationName` defaults to the application's name (the executable's, without extension).
  explicit KorvelSettings(const QString& applicationName = QString());

  std::uint32_t readInteger(const QString& section, const QString& name,
                            std::uint32_t fallback) override;
  void writeInteger(const QString& section, const QString& name, std::uint32_t value) override;
  QString readText(const QString& section, const QString& name, const QString& fallback) override;
  void writeText(const QString& section, const QString& name, const QString& value) override;

  QString fileName() const { return settings_.fileName(); }

 private:
  QSettings settings_;
};

// A stored value as a 32-bit number: a number that fits, or decimal text of one (INI files keep
// every value as text). Anything else, a dotted address for instance, is no number.
std::optional<std::uint32_t> settingAsNumber(const QVariant& value);

}  // namespace korvel
