// korvel-cli's --json and --log-file, whole commands against the simulated device in process.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli_test_environment.h"
#include "common/texts.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/echo_link.h"
#include "programming/device_programmer.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

using nlohmann::json;
using test::CliResult;
using test::runCliWith;

constexpr char kPassword[] = "Pa55-word_secret";

// Every line of standard output is one JSON object with "event"; nothing else is there.
std::vector<json> jsonLines(const std::string& out) {
  std::vector<json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    json parsed = json::parse(line);
    EXPECT_TRUE(parsed.is_object() && parsed.contains("event")) << line;
    lines.push_back(std::move(parsed));
  }
  EXPECT_TRUE(out.empty() || out.back() == '\n');
  return lines;
}

std::vector<std::string> events(const std::vector<json>& lines) {
  std::vector<std::string> names;
  for (const json& line : lines) names.push_back(line.at("event"));
  return names;
}

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliJsonTest : public ::testing::Test {
 protected:
  CliResult run(std::vector<std::string> args) {
    args.insert(args.end(), {"--ip", "127.0.0.2", "--login", "admin", "--password", kPassword});
    return runCliWith(environment, args);
  }

  SimulatedDevice device{DeviceConfig{.password = kPassword,
                                      .text1 = "\xCF\xF3\xEC\xEF\x1b[2J\"",  // "Пумп", controls
                                      .text2 = "\x98\x7f"}};
  SimulatedEchoService echo{device, Ipv4Address(127, 0, 0, 2)};
  test::TestCliEnvironment environment{echo};
  test::TempDir dir;
};

TEST_F(CliJsonTest, InfoGivesTheDecodedReplyAndItsResultAndNothingElse) {
  environment.terminal = true;  // no progress bar all the same
  device.faults().dropReplies(firstRequests(DeviceProgrammer::kEchoAttempts));
  const CliResult result = run({"info", "--json"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.err, "");
  const std::vector<json> lines = jsonLines(result.out);
  EXPECT_EQ(events(lines), (std::vector<std::string>{"phase", "retry", "info", "result"}));
  for (const json& line : lines) EXPECT_EQ(line.at("ip"), "127.0.0.2");
  EXPECT_EQ(lines[1].at("request"), "device-info");
  EXPECT_EQ(lines[1].at("attempt"), 1);
  const json& info = lines[2];
  EXPECT_EQ(info.at("board_id"), 0x12AB);
  EXPECT_EQ(info.at("serial"), "3.7");
  EXPECT_EQ(info.at("boot_version"), "1.2");
  EXPECT_EQ(info.at("program_version"), "2.5");
  EXPECT_EQ(info.at("text1"), "Пумп\x1b[2J\"");
  EXPECT_EQ(info.at("text2"), "\xc2\x98\x7f");
  EXPECT_EQ(info.at("text"),
            "'Пумп\x1b[2J\"'\nBoard Id=0x000012AB №3.7 Boot v1.2\n'\xc2\x98\x7f'\nv2.5");
  EXPECT_EQ(lines[3].at("outcome"), "ok");
  EXPECT_EQ(lines[3].at("bytes"), 0);
}

TEST_F(CliJsonTest, AFailedQueryIsAResultWithItsText) {
  const CliResult result =
      runCliWith(environment, {"info", "--json", "--ip", "127.0.0.3", "--password", kPassword});
  EXPECT_EQ(result.exitCode, kExitFailure);
  const std::vector<json> lines = jsonLines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().at("event"), "result");
  EXPECT_EQ(lines.back().at("ip"), "127.0.0.3");
  EXPECT_EQ(lines.back().at("outcome"), "no-answer");
  EXPECT_EQ(lines.back().at("text"), text::kNoAnswer);
  const std::vector<std::string> names = events(lines);
  EXPECT_EQ(std::count(names.begin(), names.end(), "retry"), DeviceProgrammer::kInfoAttempts);
}

TEST_F(CliJsonTest, CheckAndSummaryGiveWhatTheyPrintInFields) {
  const auto good = dir.write("sub.qlxfw", ImageBuilder()
                                               .name("P\x1b\xE9")
                                               .version(3, 2)
                                               .address(5)
                                               .data(12, Bytes(40, 1))
                                               .data(12, Bytes(2, 1))
                                               .bytes());
  // The path as given; the rest as the check found it.
  const auto withImage = [&good](json expected) {
    expected["image"] = good.string();
    return std::vector<json>{expected};
  };
  CliResult result = runCliWith(environment, {"check", "--json", good.string()});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(jsonLines(result.out),
            withImage(json::parse(R"({"event":"check","schema":1,"outcome":"ok",
      "text":"","records":5,"data_records":2,"data_bytes":42,"target":"subordinate",
      "bus_address":5})")));

  const auto broken =
      dir.write("broken.qlxfw", ImageBuilder().data(12, Bytes(4, 1)).raw({0x00}).bytes());
  result = runCliWith(environment, {"check", "--json", broken.string()});
  EXPECT_EQ(result.exitCode, kExitFailure);
  std::vector<json> lines = jsonLines(result.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("outcome"), "file-format");
  EXPECT_EQ(lines[0].at("text"), text::kFormatError);
  EXPECT_EQ(lines[0].at("record"), 2);
  EXPECT_EQ(lines[0].at("offset"), 10);

  result = runCliWith(environment, {"check", "--json", (dir.path() / "none").string()});
  EXPECT_EQ(result.exitCode, kExitFailure);
  lines = jsonLines(result.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("outcome"), "file-cannot-open");

  result = runCliWith(environment, {"summary", "--json", good.string()});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(jsonLines(result.out),
            withImage(json::parse(R"({"event":"summary","schema":1,"read":true,
      "text":"'P\u001bé' v3.2 addr 5","name":"P\u001bé","name_cut":false,"version":"3.2",
      "target":"subordinate","bus_address":5})")));

  result = runCliWith(environment, {"summary", "--json", broken.string() + "x"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  lines = jsonLines(result.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("read"), false);
  EXPECT_EQ(lines[0].at("text"), text::kSummaryCannotOpen);
  EXPECT_FALSE(lines[0].contains("name"));
}

TEST_F(CliJsonTest, InfoAppendsToTheRunLogWithoutThePassword) {
  const auto log = dir.path() / "runs.jsonl";
  CliResult result = run({"info", "--log-file", log.string()});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  result = runCliWith(environment,
                      {"info", "--log-file", log.string(), "--ip", "127.0.0.2", "--password-stdin"},
                      "wrong-one\n");
  EXPECT_EQ(result.exitCode, kExitFailure);
  const std::string text = fileText(log);
  EXPECT_EQ(text.find(kPassword), std::string::npos);
  EXPECT_EQ(text.find("wrong-one"), std::string::npos);
  const std::vector<json> lines = [&] {
    std::vector<json> parsed;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) parsed.push_back(json::parse(line));
    return parsed;
  }();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].at("command"), "info");
  EXPECT_EQ(lines[0].at("outcome"), "ok");
  EXPECT_EQ(lines[0].at("board_id"), 0x12AB);
  EXPECT_EQ(lines[1].at("outcome"), "device-error");
  EXPECT_TRUE(lines[1].at("board_id").is_null());

  // A log that cannot be written stops the command before the device is asked.
  const std::size_t exchanges = echo.exchanges();
  // (A folder or a FIFO is no log at all: a usage error.)
  const std::string unwritable = (dir.path() / "missing" / "runs.jsonl").string();
  result = run({"info", "--log-file", unwritable});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.err, std::string(text::kRunLogCannotWrite) + unwritable + "\n");
  EXPECT_EQ(echo.exchanges(), exchanges);
}

TEST_F(CliJsonTest, ARunIntoASubordinateGivesItsPhasesProgressResendAndResult) {
  device =
      SimulatedDevice(DeviceConfig{.password = kPassword, .subordinates = {{5, {1, 2, 3, 4}}}});
  device.faults().answerResendByte(0x01 | (2 << 1), onlyRequest(3),
                                   {FaultMatch::Target::BusRecord});
  ImageBuilder image;
  image.name("SUB").version(1, 0).address(5);
  for (std::size_t i = 0; i < 3; ++i) image.data(12, samplePayload(100 + i, 0));
  const auto path = dir.write("sub.qlxfw", image.bytes());
  const CliResult result = run({"program", path.string(), "--json"});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  const std::vector<json> lines = jsonLines(result.out);
  EXPECT_EQ(events(lines),
            (std::vector<std::string>{"phase", "info", "phase", "phase", "phase", "progress",
                                      "progress", "resend", "progress", "phase", "result"}));
  std::vector<std::string> phases;
  for (const json& line : lines) {
    if (line.at("event") == "phase") phases.push_back(line.at("phase"));
  }
  EXPECT_EQ(phases, (std::vector<std::string>{"information-query", "image-check",
                                              "preparing-subordinate", "sending", "restoring"}));
  EXPECT_EQ(lines[7].at("count"), 2);
  EXPECT_EQ(lines[8].at("records"), 3);
  EXPECT_EQ(lines[8].at("bytes_done"), 303);
  EXPECT_EQ(lines[8].at("bytes_total"), 303);
  EXPECT_EQ(lines.back().at("outcome"), "ok");
  EXPECT_EQ(lines.back().at("bytes"), 303);
  // The closing line stays on standard error.
  EXPECT_TRUE(result.err.starts_with("Programmed 303 bytes in 3 records")) << result.err;
}

TEST_F(CliJsonTest, AFailedRunGivesItsMessageAndResultAndIsLogged) {
  const auto log = dir.path() / "runs.jsonl";
  const auto path =
      dir.write("device.qlxfw", ImageBuilder().name("DEV").data(12, Bytes(90, 7)).bytes());
  device.faults().dropReplies(FaultTrigger{}, {FaultMatch::Target::RawRecord});
  CliResult result = run({"program", path.string(), "--json", "--log-file", log.string()});
  EXPECT_EQ(result.exitCode, kExitFailure);
  const std::vector<json> lines = jsonLines(result.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(
      lines[lines.size() - 2],
      (json{{"event", "message"}, {"schema", 1}, {"ip", "127.0.0.2"}, {"text", text::kCommError}}));
  EXPECT_EQ(lines.back().at("outcome"), "link-lost");
  EXPECT_EQ(lines.back().at("bytes"), 0);

  device.faults().clear();
  result = run({"program", path.string(), "--log-file", log.string()});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  const std::string text = fileText(log);
  EXPECT_EQ(text.find(kPassword), std::string::npos);
  std::istringstream in(text);
  std::vector<json> logged;
  for (std::string line; std::getline(in, line);) logged.push_back(json::parse(line));
  ASSERT_EQ(logged.size(), 2u);
  for (const json& line : logged) {
    EXPECT_EQ(line.at("command"), "program");
    EXPECT_EQ(line.at("image"), path.string());
    EXPECT_EQ(line.at("image_name"), "DEV");
    EXPECT_EQ(line.at("target"), "device");
    EXPECT_EQ(line.at("board_id"), 0x12AB);
  }
  EXPECT_EQ(logged[0].at("outcome"), "link-lost");
  EXPECT_EQ(logged[0].at("text"), text::kCommError);
  EXPECT_EQ(logged[1].at("outcome"), "ok");
  EXPECT_EQ(logged[1].at("bytes"), 90);
}

}  // namespace
}  // namespace korvel
