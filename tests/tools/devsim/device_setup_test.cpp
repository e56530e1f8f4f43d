// korvel-devsim's reading of its options and configuration file, and its log lines.
#include "device_setup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "json_log.h"
#include "support/temp_file.h"

namespace korvel::devsim {
namespace {

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(DeviceSetupTest, ReadsTheValuesOptionsAndFileShare) {
  const auto plain = parseSubordinate("5");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->address, 5);
  const auto valued = parseSubordinate("0x10:DEADbeef");
  ASSERT_TRUE(valued);
  EXPECT_EQ(valued->address, 16);
  EXPECT_EQ(valued->savedValue, (std::array<std::uint8_t, 4>{0xDE, 0xAD, 0xBE, 0xEF}));
  for (const char* bad : {"254", "255", "-1", "x", "5:1234567", "5:123456789", "5:GG000000", ""}) {
    EXPECT_FALSE(parseSubordinate(bad)) << bad;
  }

  EXPECT_EQ(parseSerial("3.7"), (3u << 16) | 7u);
  EXPECT_EQ(parseSerial("1.65535"), 0x1FFFFu);
  EXPECT_EQ(parseSerial("196615"), 196615u);
  EXPECT_FALSE(parseSerial("65536.0"));
  EXPECT_EQ(parseVersion("10.3"), 0x0A03);
  EXPECT_FALSE(parseVersion("256.0"));
  EXPECT_FALSE(parseVersion("1."));
  EXPECT_EQ(parseUnsigned("0x000012AB"), 0x12ABu);

  for (const char* address : {"127.0.0.2", "127.255.0.9", "10.0.0.1", "192.168.0.10"}) {
    EXPECT_TRUE(parseDeviceAddress(address)) << address;
  }
  for (const char* address : {"127.0.0", "0.0.0.0", "224.0.0.1", "255.255.255.255"}) {
    EXPECT_FALSE(parseDeviceAddress(address)) << address;
  }
  EXPECT_TRUE(isAddressOfThisNamespace(*parseDeviceAddress("127.0.0.9")));
  // TEST-NET-3, documentation only: no interface of any machine holds it.
  EXPECT_FALSE(isAddressOfThisNamespace(*parseDeviceAddress("203.0.113.77")));
}

TEST(DeviceSetupTest, DeviceTextsBecomeWindows1251AndCredentialsLatin1) {
  EXPECT_EQ(textBytes(*utf8ToCp1251("Загрузчик №1")),
            (Bytes{0xC7, 0xE0, 0xE3, 0xF0, 0xF3, 0xE7, 0xF7, 0xE8, 0xEA, 0x20, 0xB9, 0x31}));
  EXPECT_FALSE(utf8ToCp1251("日本"));

  DeviceSetup setup;
  std::string error;
  DeviceSettings settings;
  settings.login = "Jürgen";
  settings.text2 = "Ёлка";
  ASSERT_TRUE(applySettings(settings, setup, error)) << error;
  EXPECT_EQ(textBytes(setup.config.login), (Bytes{'J', 0xFC, 'r', 'g', 'e', 'n'}));
  EXPECT_EQ(textBytes(setup.config.text2), (Bytes{0xA8, 0xEB, 0xEA, 0xE0}));

  settings = {};
  settings.password = "пароль";
  EXPECT_FALSE(applySettings(settings, setup, error));
  EXPECT_NE(error.find("password"), std::string::npos);
  settings = {};
  settings.text1 = std::string(33, 'x');
  EXPECT_FALSE(applySettings(settings, setup, error));
  EXPECT_NE(error.find("32"), std::string::npos);
}

TEST(DeviceSetupTest, FileSettingsLayerUnderEachDeviceAndFaultsAddUp) {
  test::TempDir folder;
  const auto path = folder.write("devices.json", textBytes(R"({
    "password": "secret", "serial": "9.1", "faults": ["drop-reply,first=1"],
    "subordinates": [{"address": 5, "savedValue": [1, 2, 3, 4]}, "7:0A0B0C0D"],
    "devices": [{"address": "127.0.0.3", "serial": 12, "faults": ["late,nth=2"], "seed": 9}]
  })"));
  std::string error;
  const auto file = readConfigFile(path.string(), error);
  ASSERT_TRUE(file) << error;
  ASSERT_EQ(file->devices.size(), 1u);
  EXPECT_EQ(file->devices[0].first, "127.0.0.3");

  DeviceSetup setup;
  ASSERT_TRUE(applySettings(file->common, setup, error)) << error;
  ASSERT_TRUE(applySettings(file->devices[0].second, setup, error)) << error;
  EXPECT_EQ(setup.config.password, "secret");
  EXPECT_EQ(setup.config.login, "admin");
  EXPECT_EQ(setup.config.serial, 12u);
  EXPECT_EQ(setup.seed, 9u);
  ASSERT_EQ(setup.faults.size(), 2u);
  EXPECT_EQ(setup.faults[0].kind, FaultKind::DropReply);
  EXPECT_EQ(setup.faults[1].kind, FaultKind::LateReply);
  ASSERT_EQ(setup.config.subordinates.size(), 2u);
  EXPECT_EQ(setup.config.subordinates[0].savedValue, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(setup.config.subordinates[1].address, 7);
  EXPECT_EQ(setup.config.subordinates[1].savedValue[3], 0x0D);
}

TEST(DeviceSetupTest, ABadFileIsRefusedWithItsNameAndTheReason) {
  test::TempDir folder;
  const std::pair<const char*, const char*> cases[] = {
      {"{\"colour\": 1}", "colour"},
      {"{\"address\": \"127.0.0.2\"}", "devices"},
      {"{\"devices\": [{\"serial\": 1}]}", "bad device"},
      {"{\"subordinates\": [{\"address\": 5, \"savedValue\": [1, 2, 3, 400]}]}", "subordinate"},
      {"{\"bootVersion\": \"1.2.3\"}", "bootVersion"},
      {"[1, 2]", "object"},
      {"{", "parse"},
  };
  for (const auto& [text, reason] : cases) {
    const auto path = folder.write("bad.json", textBytes(text));
    std::string error;
    EXPECT_FALSE(readConfigFile(path.string(), error)) << text;
    EXPECT_NE(error.find("bad.json"), std::string::npos) << error;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(readConfigFile((folder.path() / "missing.json").string(), error));
  EXPECT_NE(error.find("missing.json"), std::string::npos);
}

TEST(JsonLogTest, OneObjectPerRequestWithSilenceAsNull) {
  ConversationEntry record;
  record.time = std::chrono::milliseconds(1500);
  record.kind = RequestKind::BusRecord;
  record.token = 0xCAFE0001;
  record.sequence = 7;
  record.busAddress = 254;
  record.code = 0x21;
  record.dataLength = 40;
  record.faults = {FaultKind::ResendByte, FaultKind::LateReply};
  record.lateReplyFirst = true;
  record.status = 1;
  record.resendByte = 0x05;
  record.replyLength = 78;
  const auto line = nlohmann::json::parse(toJsonLine(record, {"127.0.0.2", "127.0.0.1", 9, 3}));
  EXPECT_DOUBLE_EQ(line["time_ms"].get<double>(), 1500.0);
  EXPECT_EQ(line["kind"], "bus-record");
  EXPECT_EQ(line["token"], "0xCAFE0001");
  EXPECT_EQ(line["sequence"], 7);
  EXPECT_EQ(line["bus_address"], 254);
  EXPECT_EQ(line["data_length"], 40);
  EXPECT_EQ(line["faults"], nlohmann::json::array({"resend", "late"}));
  EXPECT_EQ(line["resend_byte"], 5);
  EXPECT_EQ(line["late_reply_first"], true);
  EXPECT_EQ(line["icmp_seq"], 3);

  ConversationEntry silence;
  silence.kind = RequestKind::Malformed;
  silence.problem = "frame checksum wrong";
  const auto quiet = nlohmann::json::parse(toJsonLine(silence, {}));
  EXPECT_TRUE(quiet["status"].is_null());
  EXPECT_EQ(quiet["problem"], "frame checksum wrong");
  EXPECT_FALSE(quiet.contains("reply_length"));
}

}  // namespace
}  // namespace korvel::devsim
