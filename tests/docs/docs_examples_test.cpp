#include <gtest/gtest.h>

#include <filesystem>
#include <variant>

#include "docs_example.h"
#include "image/firmware_image.h"
#include "image/image_summary.h"
#include "link/command_envelope.h"
#include "link/device_protocol.h"
#include "link/device_replies.h"
#include "link/echo_link.h"
#include "link/frame_header.h"
#include "support/scripted_echo_service.h"
#include "support/temp_file.h"

// The worked examples of docs/ are read from the pages themselves and checked against the code,
// so that a page cannot drift from what the program does.

namespace korvel::test {
namespace {

const std::filesystem::path kProtocolPage = docsFolder() / "protocol.md";
const std::filesystem::path kImagePage = docsFolder() / "image-format.md";

// The conversation the protocol page walks through.
constexpr std::uint32_t kExampleToken = 0x1A2B3C4D;
constexpr char kExampleLogin[] = "admin";
constexpr char kExamplePassword[] = "admin";

Bytes exampleBytes(const std::filesystem::path& page, const char* name) {
  const DocsExample example = docsExample(page, name);
  EXPECT_EQ(example.problem, "") << page << ", example " << name;
  return example.bytes;
}

TEST(DocsExamples, EveryExampleOfEveryPageParses) {
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(docsFolder())) {
    if (entry.path().extension() != ".md") continue;
    for (const DocsExample& example : docsExamples(entry.path())) {
      ++examples;
      EXPECT_EQ(example.problem, "") << entry.path() << ", example " << example.name;
    }
  }
  EXPECT_GE(examples, 3);
}

TEST(DocsExamples, ARowThatMiscountsIsNamed) {
  TempDir dir;
  const std::string page =
      "<!-- example: short -->\n```text\n0000: 01 02  # two\n0003: 03\n```\n"
      "<!-- example: word -->\n```\n0000: 01 2\n```\n";
  const auto path = dir.write("page.md", Bytes(page.begin(), page.end()));
  const auto examples = docsExamples(path);
  ASSERT_EQ(examples.size(), 2u);
  EXPECT_EQ(examples[0].problem, "line 4: offset 0003 after 2 bytes");
  EXPECT_EQ(examples[1].problem, "line 8: '2' is not a byte in hexadecimal");
}

class ProtocolExample : public ::testing::Test {
 protected:
  // The information query as the link puts it on the wire: the first request of a new link.
  std::optional<ByteView> askInformation() {
    const std::uint8_t command[] = {command::kDeviceInfo};
    const auto credentials = formatCredentials(kExampleLogin, kExamplePassword);
    frame = *buildCommandFrame(command, 1, credentials.field, link.sessionToken());
    return link.request(frame, 1000, 1);
  }

  ScriptedEchoService service;
  EchoLink link{service, Ipv4Address::fromHostOrder(0x7F000002), kExampleToken};
  Bytes frame;
};

TEST_F(ProtocolExample, TheInformationRequestIsWhatTheLinkSends) {
  const Bytes documented = exampleBytes(kProtocolPage, "info-request");
  service.silence();
  EXPECT_FALSE(askInformation());
  ASSERT_EQ(service.sent.size(), 1u);
  EXPECT_EQ(service.sent[0].data, documented);
}

TEST_F(ProtocolExample, TheInformationReplyIsAcceptedAndReadAsThePageSays) {
  const Bytes documented = exampleBytes(kProtocolPage, "info-reply");
  service.reply(documented);
  const auto reply = askInformation();
  ASSERT_TRUE(reply);
  const ByteView body = replyBody(*reply);
  EXPECT_TRUE(replyStatusOk(body));
  DeviceInfoReply expected;
  expected.boardId = 0xCAFE;
  expected.serial = (12u << 16) | 34u;
  expected.text1 = "Relay";
  expected.bootVersion = 0x0301;
  expected.text2 = "Main";
  expected.programVersion = 0x040F;
  EXPECT_EQ(DeviceInfoReply::parse(body), expected);
  EXPECT_EQ(link.sequence(), 1u);
}

TEST(ImageFormatExample, TheFileReadsRecordByRecordAsThePageSays) {
  TempDir dir;
  const auto path = dir.write("relay.qlxfw", exampleBytes(kImagePage, "relay-image"));
  auto image = FirmwareImage::open(path);
  ASSERT_TRUE(image);
  std::vector<ImageRecord> records(6);
  for (auto& record : records) ASSERT_EQ(image->next(record), ReadOutcome::Record);
  ImageRecord after;
  EXPECT_EQ(image->next(after), ReadOutcome::End);

  EXPECT_EQ(std::get<NameRecord>(records[0]).name, "Relay");
  EXPECT_EQ(std::get<VersionRecord>(records[1]).major, 1);
  EXPECT_EQ(std::get<VersionRecord>(records[1]).minor, 2);
  EXPECT_EQ(std::get<AddressRecord>(records[2]).address, 5);
  const Bytes payloads[] = {{0xDE, 0xAD, 0xBE, 0xEF}, {0x01, 0x02, 0x03}, {0x5A}};
  for (int i = 0; i < 3; ++i) {
    const auto& data = std::get<DataRecord>(records[3 + i]);
    EXPECT_EQ(data.type, 0x21);
    EXPECT_EQ(data.payload, payloads[i]);
  }
  EXPECT_EQ(imageSummary(path), "'Relay' v1.2 addr 5");
}

}  // namespace
}  // namespace korvel::test
