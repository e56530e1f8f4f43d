#include <gtest/gtest.h>

#include <memory>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "support/recording_pauses.h"
#include "ui/korvel_settings.h"
#include "ui/qt_korvel_window.h"

namespace korvel::test {
namespace {

// The real per-user store, kept in a folder of the test's own.
class SettingsFile : public ::testing::Test {
 protected:
  SettingsFile() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path()); }
  ~SettingsFile() override {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       qEnvironmentVariable("XDG_CONFIG_HOME"));
  }

  // The file as any QSettings sees it, without the store's rules.
  std::unique_ptr<QSettings> raw() const {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromUtf8(KorvelSettings::kOrganisation),
                                       QStringLiteral("korvel"));
  }

  QTemporaryDir home;
};

TEST_F(SettingsFile, MissingValuesGiveTheDefaults) {
  KorvelSettings store;
  EXPECT_EQ(store.readInteger("Comm", "IpAddr", 0), 0u);
  EXPECT_EQ(store.readInteger("Comm", "FromBoot", 0), 0u);
  EXPECT_EQ(store.readText("File", "Path", QString()), QString());
  EXPECT_TRUE(store.fileName().contains(QStringLiteral("Local AppWizard-Generated Applications")));
  EXPECT_TRUE(store.fileName().startsWith(home.path()));
}

TEST_F(SettingsFile, AddressIsAThirtyTwoBitNumberWithTheFirstOctetOnTop) {
  {
    KorvelSettings store;
    store.writeInteger("Comm", "IpAddr", 0xC0A8000A);
  }
  EXPECT_EQ(raw()->value("Comm/IpAddr").toString(), QStringLiteral("3232235530"));
  KorvelSettings again;
  EXPECT_EQ(again.readInteger("Comm", "IpAddr", 0), 0xC0A8000Au);
}

TEST_F(SettingsFile, AValueThatIsNoThirtyTwoBitNumberReadsAsTheDefault) {
  {
    auto file = raw();
    file->setValue("Comm/IpAddr", QStringLiteral("192.168.0.10"));
    file->setValue("Comm/FromBoot", QStringLiteral("yes"));
    file->setValue("Comm/Other", QStringLiteral("4294967296"));
  }
  KorvelSettings store;
  EXPECT_EQ(store.readInteger("Comm", "IpAddr", 0), 0u);
  EXPECT_EQ(store.readInteger("Comm", "FromBoot", 0), 0u);
  EXPECT_EQ(store.readInteger("Comm", "Other", 7), 7u);
}

TEST_F(SettingsFile, SignedThirtyTwoBitNumbersAreTakenAsTheirBits) {
  EXPECT_EQ(settingAsNumber(QVariant(-1062731766)), 0xC0A8000Au);
  EXPECT_EQ(settingAsNumber(QVariant(QStringLiteral("-1062731766"))), 0xC0A8000Au);
  EXPECT_EQ(settingAsNumber(QVariant(QStringLiteral("0xC0A8000A"))), std::nullopt);
  EXPECT_EQ(settingAsNumber(QVariant(QStringList{"1", "2"})), std::nullopt);
}

TEST_F(SettingsFile, CyrillicPathWithSpacesComesBackUnchanged) {
  const QString path = QStringLiteral("/home/оператор/Мои прошивки/образ, версия 2.qlxfw");
  {
    KorvelSettings store;
    store.writeText("File", "Path", path);
    store.writeText("File", "Empty", QString());
  }
  KorvelSettings again;
  EXPECT_EQ(again.readText("File", "Path", QStringLiteral("default")), path);
  EXPECT_EQ(again.readText("File", "Empty", QStringLiteral("default")), QString());
}

TEST_F(SettingsFile, EachExecutableNameHasItsOwnSettings) {
  {
    KorvelSettings store(QStringLiteral("korvel"));
    store.writeInteger("Comm", "IpAddr", 0x7F000002);
  }
  KorvelSettings renamed(QStringLiteral("korvel-copy"));
  EXPECT_EQ(renamed.readInteger("Comm", "IpAddr", 0), 0u);
}

TEST_F(SettingsFile, TheWindowRestoresAndSavesThroughTheStore) {
  {
    auto file = raw();
    file->setValue("Comm/IpAddr", QStringLiteral("not an address"));
    file->setValue("Comm/FromBoot", 1);
    file->setValue("File/Path", QStringLiteral("/tmp/нет файла.qlxfw"));
  }
  SimulatedDevice device;
  SimulatedEchoService echo(device, Ipv4Address(127, 0, 0, 2));
  RecordingPauses pauses;
  {
    KorvelSettings store;
    QtKorvelWindow window(nullptr, &echo, &pauses, &store);
    EXPECT_EQ(window.ipAddress(), Ipv4Address());  // the text was ignored
    EXPECT_TRUE(window.viaBoot());
    EXPECT_EQ(window.imagePath(), "/tmp/нет файла.qlxfw");
    window.done(QDialog::Rejected);
  }
  // The unreadable address has been replaced by a number.
  EXPECT_EQ(raw()->value("Comm/IpAddr").toString(), QStringLiteral("0"));
  EXPECT_EQ(raw()->value("Comm/FromBoot").toString(), QStringLiteral("1"));
  EXPECT_EQ(raw()->value("File/Path").toString(), QStringLiteral("/tmp/нет файла.qlxfw"));
}

}  // namespace
}  // namespace korvel::test
