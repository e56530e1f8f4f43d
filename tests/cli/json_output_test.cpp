// The JSON lines of korvel-cli: whole lines that parse back, whatever a device or a file sent.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/output/device_info_json.h"
#include "cli/output/json_event_writer.h"
#include "cli/output/json_lines.h"
#include "common/texts.h"

namespace korvel {
namespace {

using nlohmann::json;

std::vector<json> parsedLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  return lines;
}

bool hasRawControl(const std::string& line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (byte < 0x20 || byte == 0x7F) return true;
    if (byte == 0xC2 && i + 1 < line.size() &&
        (static_cast<unsigned char>(line[i + 1]) & 0xE0) == 0x80) {
      return true;
    }
  }
  return false;
}

TEST(JsonLineTest, HostileTextsGiveValidJsonWithoutRawControls) {
  const std::string hostile[] = {
      std::string("quote \" backslash \\ slash /"),
      std::string("\x1b[2J\x07\r\n\t\0end", 12),
      "\x7f del",
      "\xc2\x9b"
      "31m C1",                               // U+009B, a terminal's CSI
      "\xff\xfe\xc3 invalid UTF-8 \xe2\x82",  // stray bytes and a cut sequence
      "\xed\xa0\x80 surrogate",
  };
  for (const std::string& text : hostile) {
    JsonObject object;
    object["event"] = "x";
    object["text"] = text;
    const std::string line = jsonLine(object);
    EXPECT_FALSE(hasRawControl(line)) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const json parsed = json::parse(line);  // throws on anything but valid JSON
    EXPECT_EQ(parsed.at("event"), "x");
    ASSERT_TRUE(parsed.at("text").is_string());
  }
  // What is valid comes back unchanged, escaped controls included.
  JsonObject object;
  object["text"] = std::string("a\x1b\x7f\xc2\x85 Привет \"q\"");
  EXPECT_EQ(json::parse(jsonLine(object)).at("text"), "a\x1b\x7f\xc2\x85 Привет \"q\"");
  EXPECT_EQ(jsonLine(object), R"({"text":"a\u001b\u007f\u0085 Привет \"q\""})");
}

TEST(JsonLineTest, FieldsKeepTheirOrderAndThreadsNeverMixTheirLines) {
  JsonObject object;
  object["event"] = "phase";
  object["ip"] = "127.0.0.2";
  object["a"] = 1;
  EXPECT_EQ(jsonLine(object), R"({"event":"phase","ip":"127.0.0.2","a":1})");

  std::ostringstream out;
  JsonLines lines(out);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&lines, t] {
      for (int i = 0; i < 200; ++i) {
        JsonObject line;
        line["event"] = "progress";
        line["thread"] = t;
        line["i"] = i;
        line["padding"] = std::string(300, static_cast<char>('a' + t));
        lines.write(line);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const std::vector<json> parsed = parsedLines(out.str());
  ASSERT_EQ(parsed.size(), 8u * 200u);
  std::vector<int> next(8, 0);
  for (const json& line : parsed) {
    const int t = line.at("thread");
    EXPECT_EQ(line.at("i"), next[t]++);
    EXPECT_EQ(line.at("padding"), std::string(300, static_cast<char>('a' + t)));
  }
}

TEST(DeviceInfoJsonTest, DecodesEveryFieldAndConvertsTheTexts) {
  DeviceInfoReply info;
  info.boardId = 0xCAFE;
  info.serial = (12u << 16) | 34;
  info.bootVersion = 0x0301;
  info.programVersion = 0x040F;
  info.text1 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in Windows-1251
  info.text2 = "\x98\x1b\"\xff";            // the code page's hole, a control, a quote, "я"
  JsonObject object;
  addDeviceInfo(object, info);
  const json parsed = json::parse(jsonLine(object));
  EXPECT_EQ(parsed.at("board_id"), 0xCAFE);
  EXPECT_EQ(parsed.at("serial"), "12.34");
  EXPECT_EQ(parsed.at("boot_version"), "3.1");
  EXPECT_EQ(parsed.at("program_version"), "4.15");
  EXPECT_EQ(parsed.at("text1"), "Привет");
  EXPECT_EQ(parsed.at("text2"), "\xc2\x98\x1b\"я");
}

class JsonEventWriterTest : public ::testing::Test {
 protected:
  JsonEventWriter writer(JsonEventWriter::Conversation conversation) {
    return JsonEventWriter(jsonLines, "10.0.0.7", conversation, [this] { return clock; });
  }
  std::vector<json> parsed() const { return parsedLines(out.str()); }

  std::ostringstream out;
  JsonLines jsonLines{out};
  std::chrono::steady_clock::time_point clock{};
};

TEST_F(JsonEventWriterTest, ARunGivesOneLinePerEventAndEndsWithItsResult) {
  auto run = writer(JsonEventWriter::Conversation::Run);
  DeviceInfoReply info;
  info.text1 = "BOOT";
  info.text2 = "MAIN";
  info.boardId = 0x12AB;
  info.serial = (3u << 16) | 7;
  info.bootVersion = 0x0102;
  info.programVersion = 0x0205;
  run.onEvent(PhaseStarted{Phase::InformationQuery, 10});
  run.onEvent(AttemptFailed{Request::DeviceInfo, 1, true});
  run.onEvent(DeviceInfoRead{info});
  run.onEvent(PhaseStarted{Phase::PreparingSubordinate});
  run.onEvent(RecordTaken{0, 100, 411, 140, 460});
  run.onEvent(ResendRequested{2});
  run.onEvent(RecordTaken{1, 237, 411, 300, 460});
  clock += std::chrono::milliseconds(2345);
  run.onEvent(Finished{outcomeOf(OutcomeKind::LinkLost)});

  const std::vector<json> lines = parsed();
  ASSERT_EQ(lines.size(), 9u);
  for (const json& line : lines) EXPECT_EQ(line.at("ip"), "10.0.0.7");
  EXPECT_EQ(lines[0], json::parse(R"({"event":"phase","schema":1,"ip":"10.0.0.7",
                                      "phase":"information-query","total":10})"));
  EXPECT_EQ(lines[1],
            json::parse(R"({"event":"retry","schema":1,"ip":"10.0.0.7","request":"device-info",
                                      "attempt":1,"retried":true})"));
  EXPECT_EQ(lines[2].at("event"), "info");
  EXPECT_EQ(lines[2].at("board_id"), 0x12AB);
  EXPECT_EQ(lines[2].at("serial"), "3.7");
  EXPECT_EQ(lines[2].at("text"), "'BOOT'\nBoard Id=0x000012AB №3.7 Boot v1.2\n'MAIN'\nv2.5");
  EXPECT_EQ(lines[3].at("phase"), "preparing-subordinate");
  EXPECT_EQ(lines[3].at("total"), 0);
  EXPECT_EQ(lines[4], json::parse(R"({"event":"progress","schema":1,"ip":"10.0.0.7","records":1,
                                      "bytes_done":100,"bytes_total":411})"));
  EXPECT_EQ(lines[5], json::parse(R"({"event":"resend","schema":1,"ip":"10.0.0.7","count":2})"));
  EXPECT_EQ(
      lines[7],
      (json{{"event", "message"}, {"schema", 1}, {"ip", "10.0.0.7"}, {"text", text::kCommError}}));
  // The bytes the target took before the link was lost.
  json result = json::parse(R"({"event":"result","schema":1,"ip":"10.0.0.7","outcome":"link-lost",
                                 "records":2,"bytes":237,"seconds":2.345})");
  result["text"] = text::kCommError;
  EXPECT_EQ(lines[8], result);
}

}  // namespace
}  // namespace korvel
