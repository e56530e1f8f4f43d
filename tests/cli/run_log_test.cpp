// The run log: one line per device and run, written whatever the outcome, appended safely.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/output/image_facts.h"
#include "cli/output/run_log.h"
#include "common/texts.h"
#include "device_model/image_builder.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

using nlohmann::json;
using namespace std::chrono;

std::vector<std::string> fileLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(IsoUtcTest, WritesDateTimeAndMillisecondsInUtc) {
  const system_clock::time_point time =
      sys_days{year{2026} / 12 / 8} + hours{5} + minutes{4} + seconds{3} + milliseconds{21};
  EXPECT_EQ(isoUtc(time), "2026-12-08T05:04:03.021Z");
  EXPECT_EQ(isoUtc(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(isoUtc(sys_days{year{2000} / 2 / 29} + hours{23} + minutes{59} + seconds{59} +
                   milliseconds{999}),
            "2000-02-29T23:59:59.999Z");
}

class RunLogTest : public ::testing::Test {
 protected:
  RunLogWriter writer(const ImageFacts* image, const std::string& command = "program") {
    return RunLogWriter(file, command, "192.168.0.10", image, began, [this] { return clock; });
  }
  json onlyLine() {
    const auto lines = fileLines(path);
    EXPECT_EQ(lines.size(), 1u);
    return lines.empty() ? json() : json::parse(lines.front());
  }

  test::TempDir dir;
  std::filesystem::path path = dir.path() / "runs.jsonl";
  RunLogFile file{path};
  system_clock::time_point began = sys_days{year{2026} / 12 / 8} + hours{7};
  steady_clock::time_point clock{};
};

TEST_F(RunLogTest, ASuccessfulRunNamesImageDeviceAndOutcome) {
  const auto image = dir.write(
      "sub.qlxfw",
      ImageBuilder().name("PUMP").version(3, 2).address(5).data(12, Bytes(40, 1)).bytes());
  const ImageFacts facts = readImageFacts(image.string());
  auto run = writer(&facts);
  DeviceInfoReply info;
  info.boardId = 0x12AB;
  info.serial = (3u << 16) | 7;
  info.text1 = "BOOT";
  info.text2 = "MAIN";
  info.bootVersion = 0x0102;
  info.programVersion = 0x0205;
  run.onEvent(DeviceInfoRead{info});
  run.onEvent(RecordTaken{0, 40, 40, 60, 60});
  EXPECT_TRUE(fileLines(path).empty()) << "written before the run ended";
  clock += milliseconds(1500);
  run.onEvent(Finished{Outcome{}});
  EXPECT_EQ(run.written(), true);

  json expected = {
      {"time", "2026-12-08T07:00:00.000Z"},
      {"command", "program"},
      {"image", image.string()},
      {"image_size", std::filesystem::file_size(image)},
      {"image_name", "PUMP"},
      {"image_version", "3.2"},
      {"target", "subordinate"},
      {"bus_address", 5},
      {"ip", "192.168.0.10"},
      {"board_id", 0x12AB},
      {"serial", "3.7"},
      {"boot_version", "1.2"},
      {"program_version", "2.5"},
      {"text1", "BOOT"},
      {"text2", "MAIN"},
      {"outcome", "ok"},
      {"text", ""},
      {"records", 1},
      {"bytes", 40},
      {"seconds", 1.5},
      {"schema", 1},
  };
  json line = onlyLine();
  const std::string sha = line.at("image_sha256");
  EXPECT_EQ(sha.size(), 64u);
  EXPECT_EQ(sha.find_first_not_of("0123456789abcdef"), std::string::npos);
  line.erase("image_sha256");
  EXPECT_EQ(line, expected);
}

TEST_F(RunLogTest, AFailedRunIsLoggedWithWhatIsKnown) {
  const ImageFacts missing = readImageFacts((dir.path() / "missing.qlxfw").string());
  auto run = writer(&missing);
  run.onEvent(Finished{outcomeOf(OutcomeKind::NoAnswer)});
  const json line = onlyLine();
  EXPECT_EQ(line.at("outcome"), "no-answer");
  EXPECT_EQ(line.at("text"), text::kNoAnswer);
  for (const char* unknown : {"image_size", "image_sha256", "image_name", "image_version", "target",
                              "bus_address", "board_id", "serial", "text1"}) {
    EXPECT_TRUE(line.at(unknown).is_null()) << unknown;
  }
  EXPECT_EQ(line.at("bytes"), 0);

  // An information query names no image.
  std::filesystem::remove(path);
  auto query = writer(nullptr, "info");
  query.onEvent(Finished{outcomeOf(OutcomeKind::DeviceError)});
  const json info = onlyLine();
  EXPECT_EQ(info.at("command"), "info");
  EXPECT_FALSE(info.contains("image"));
  EXPECT_EQ(info.at("outcome"), "device-error");
}

TEST_F(RunLogTest, LinesFromManyThreadsStayWholeAndAFileThatCannotBeWrittenIsSaid) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(file.append(std::string(500 + t, static_cast<char>('a' + t))));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const auto lines = fileLines(path);
  ASSERT_EQ(lines.size(), 800u);
  for (const std::string& line : lines) {
    ASSERT_GE(line.size(), 500u);
    EXPECT_EQ(line, std::string(line.size(), static_cast<char>('a' + line.size() - 500)));
  }

  RunLogFile folder(dir.path());
  EXPECT_FALSE(folder.usable());
  auto run = RunLogWriter(folder, "info", "10.0.0.1", nullptr, began, [this] { return clock; });
  run.onEvent(Finished{Outcome{}});
  EXPECT_EQ(run.written(), false);
}

}  // namespace
}  // namespace korvel
