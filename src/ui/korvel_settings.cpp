#include "ui/korvel_settings.h"

#include <limits>

#include <QCoreApplication>
#include <QVariant>

namespace korvel {
namespace {

QString key(const QString& section, const QString& name) {
  return section + QLatin1Char('/') + name;
}

// Negative numbers come from stores that keep the 32 bits as a signed integer.
std::optional<std::uint32_t> fromWide(qlonglong value) {
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > static_cast<qlonglong>(std::numeric_limits<std::uint32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> fromText(const QString& text) {
  bool ok = false;
  const qlonglong value = text.toLongLong(&ok, 10);
  if (!ok) return std::nullopt;
  return fromWide(value);
}

}  // namespace

std::optional<std::uint32_t> settingAsNumber(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
      return fromWide(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong:
      if (value.toULongLong() > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
      return static_cast<std::uint32_t>(value.toULongLong());
    case QMetaType::QString:
      return fromText(value.toString());
    case QMetaType::QByteArray:
      return fromText(QString::fromUtf8(value.toByteArray()));
    default:
      return std::nullopt;
  }
}

KorvelSettings::KorvelSettings(const QString& applicationName)
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(kOrganisation),
                applicationName.isEmpty() ? QCoreApplication::applicationName() : applicationName) {
}

std::uint32_t KorvelSettings::readInteger(const QString& section, const QString& name,
                                          std::uint32_t fallback) {
  return settingAsNumber(settings_.value(key(section, name))).value_or(fallback);
}

void KorvelSettings::writeInteger(const QString& section, const QString& name,
                                  std::uint32_t value) {
  settings_.setValue(key(section, name), static_cast<quint32>(value));
  settings_.sync();
}

QString KorvelSettings::readText(const QString& section, const QString& name,
                                 const QString& fallback) {
  const QVariant value = settings_.value(key(section, name));
  if (!value.isValid() || !value.canConvert<QString>()) return fallback;
  return value.toString();
}

void KorvelSettings::writeText(const QString& section, const QString& name, const QString& value) {
  settings_.setValue(key(section, name), value);
  settings_.sync();
}

}  // namespace korvel
