// Hostile input that the fuzzers would meet only by luck: replies of every length around the
// request's, a path of 10,000 characters, a record that declares 4 GiB and holds it, files that
// are no files, refused credentials and blank address fields. Each must end in a clear message
// with nothing read or written outside a buffer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/texts.h"
#include "common/utf8.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "image/firmware_image.h"
#include "image/image_summary.h"
#include "link/crc16.h"
#include "link/echo_link.h"
#include "link/frame_header.h"
#include "programming/device_programmer.h"
#include "support/recording_panel.h"
#include "support/recording_pauses.h"
#include "support/scripted_echo_service.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

constexpr std::uint32_t kToken = 0x0BADF00D;
constexpr Ipv4Address kDeviceIp{127, 0, 0, 2};

// `size` bytes of reply data: a frame whose length field says `size - 12` (when there is room
// for a header), with the right token and checksum, so that only its length decides.
Bytes replyOfSize(std::size_t size) {
  Bytes reply(size, 0x01);
  if (size < FrameHeader::kSize) return reply;
  FrameHeader header{0, static_cast<std::uint16_t>(size - FrameHeader::kSize), ~kToken, 0};
  header.write(reply);
  header.checksum = Crc16(ByteView(reply).subspan(FrameHeader::kLengthOffset));
  header.write(reply);
  return reply;
}

// An echo facility that hands over whatever it is given, as far as the room allows, and says how
// much came: a reply longer than the room is reported at its full size.
class OverfullEchoService : public EchoService {
 public:
  std::unique_ptr<EchoChannel> open(EchoFailure&) override {
    return std::make_unique<Channel>(*this);
  }
  Bytes next;

 private:
  class Channel : public EchoChannel {
   public:
    explicit Channel(OverfullEchoService& owner) : owner_(owner) {}
    std::optional<std::size_t> echo(Ipv4Address, ByteView, MutableByteView replyData,
                                    std::uint32_t) override {
      std::copy_n(owner_.next.begin(), std::min(owner_.next.size(), replyData.size()),
                  replyData.begin());
      return owner_.next.size();
    }

   private:
    OverfullEchoService& owner_;
  };
};

TEST(HostileRepliesTest, EveryReplyLengthUpToTheRequestPlusEight) {
  for (const std::uint16_t requestLength : {std::uint16_t{77}, std::uint16_t{100}}) {
    const std::size_t requestSize = FrameHeader::kSize + requestLength;
    for (std::size_t size = 0; size <= requestSize + 8; ++size) {
      test::ScriptedEchoService scripted;
      EchoLink link(scripted, Ipv4Address(), kToken);
      Bytes frame(requestSize, 0);
      putLe16(frame, FrameHeader::kLengthOffset, requestLength);
      scripted.reply(replyOfSize(size));
      const bool fits = size >= FrameHeader::kSize + reply::kMinLength && size <= requestSize;
      EXPECT_EQ(link.request(frame, 1000, 1).has_value(), fits) << "reply of " << size << " bytes";

      // The same reply handed over by a facility that does not stop at the room it was given.
      OverfullEchoService overfull;
      EchoLink overfullLink(overfull, Ipv4Address(), kToken);
      overfull.next = replyOfSize(size);
      EXPECT_EQ(overfullLink.request(frame, 1000, 1).has_value(), fits)
          << size << " bytes, overfull";
    }
  }
}

TEST(HostileRepliesTest, LengthFieldThatDisagreesWithTheBytesThatCame) {
  test::ScriptedEchoService scripted;
  EchoLink link(scripted, Ipv4Address(), kToken);
  Bytes frame(FrameHeader::kSize + 100, 0);
  putLe16(frame, FrameHeader::kLengthOffset, 100);
  // 90 payload bytes come; the length field says otherwise.
  const std::pair<int, bool> cases[] = {
      {-14, false}, {-13, true}, {-1, true}, {1, false}, {10, false}};
  for (const auto& [skew, taken] : cases) {
    Bytes reply = replyOfSize(FrameHeader::kSize + 90);
    FrameHeader header = FrameHeader::read(reply);
    header.length = static_cast<std::uint16_t>(90 + skew);
    header.write(reply);
    const std::size_t covered =
        std::min<std::size_t>(FrameHeader::kSize + header.length, reply.size());
    header.checksum = Crc16(ByteView(reply).subspan(FrameHeader::kLengthOffset, covered - 2));
    header.write(reply);
    scripted.reply(reply);
    const auto accepted = link.request(frame, 1000, 1);
    // Fewer bytes than the field says: refused. More: the frame is what the field says.
    ASSERT_EQ(accepted.has_value(), taken) << skew;
    if (accepted) {
      EXPECT_EQ(accepted->size(), FrameHeader::kSize + 90u + skew);
    }
  }
}

class HostileRunTest : public ::testing::Test {
 protected:
  std::vector<std::string> programWith(const std::string& path) {
    panel.path = path;
    panel.warnings.clear();
    programmer.programDevice();
    EXPECT_TRUE(panel.inputsEnabled);
    EXPECT_EQ(panel.waitCursorDepth, 0);
    return panel.warnings;
  }

  SimulatedDevice device;
  SimulatedEchoService echo{device, kDeviceIp};
  test::RecordingPanel panel;
  test::RecordingPauses pauses;
  DeviceProgrammer programmer{panel, echo, pauses};
  test::TempDir dir;
};

TEST_F(HostileRunTest, PathOfTenThousandCharacters) {
  for (const std::string& letter : {std::string("a"), std::string("ж")}) {
    std::string path = dir.path().string() + "/";
    while (path.size() < 10000 * letter.size()) path += letter;
    EXPECT_EQ(imageSummary(pathFromUtf8(path)), text::kSummaryCannotOpen);
    EXPECT_EQ(programWith(path), std::vector<std::string>{text::kOpenFailed});
  }
  EXPECT_EQ(device.programmedRecords(), 0u);
}

TEST_F(HostileRunTest, WhatIsNoFileIsNotOpened) {
  const auto fifo = dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir.path().string(), fifo.string(), std::string("/dev/zero")}) {
    EXPECT_EQ(imageSummary(path), text::kSummaryCannotOpen) << path;
    EXPECT_EQ(programWith(path), std::vector<std::string>{text::kOpenFailed}) << path;
  }
}

// A file of 4 GiB + 6 bytes, sparse, whose one record declares a payload of 4 GiB - 1 that the
// file really holds: refused by its length, without reading or holding it.
TEST_F(HostileRunTest, RecordOfFourGibibytes) {
  const auto path = dir.write("huge.qlxfw", {0xAA, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF});
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const bool grown = ::ftruncate(fd, off_t{6} + 0xFFFFFFFFll) == 0;
  ::close(fd);
  if (!grown) GTEST_SKIP() << "this file system holds no 4 GiB file";
  EXPECT_EQ(imageSummary(path), "'?????' v0.0");
  EXPECT_EQ(programWith(path.string()), std::vector<std::string>{text::kRecordTooLong});
  EXPECT_EQ(device.programmedRecords(), 0u);

  // Declared, but the file ends long before.
  const auto cut = dir.write("cut.qlxfw", {0xAA, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});
  EXPECT_EQ(programWith(cut.string()), std::vector<std::string>{text::kFormatError});
}

TEST_F(HostileRunTest, RefusedCredentialsReachNoDevice) {
  const auto image = dir.write("a.qlxfw", ImageBuilder().data(12, samplePayload(100, 1)).bytes());
  const std::pair<std::string, const char*> cases[] = {
      {std::string(31, 'a'), text::kCredentialsTooLong},
      {std::string(16, 'b'), text::kCredentialsTooLong},  // with the 15-letter password: 31
      {"оператор", text::kCredentialsBadCharacter},
      {"admin\u0416", text::kCredentialsBadCharacter},
  };
  for (const auto& [login, message] : cases) {
    panel.loginText = login;
    panel.passwordText = login.size() == 16 ? std::string(15, 'p') : "";
    EXPECT_EQ(programWith(image.string()), std::vector<std::string>{message}) << login;
    EXPECT_EQ(panel.info, message);
  }
  EXPECT_TRUE(device.log().empty());
}

// The IP field reads blank parts as 0: requests go to that address and nothing answers there.
TEST_F(HostileRunTest, BlankOrPartlyBlankAddress) {
  const auto image = dir.write("a.qlxfw", ImageBuilder().data(12, samplePayload(100, 1)).bytes());
  for (const Ipv4Address address :
       {Ipv4Address(), Ipv4Address(127, 0, 0, 0), Ipv4Address(0, 0, 0, 2)}) {
    panel.ip = address;
    EXPECT_EQ(programWith(image.string()), std::vector<std::string>{text::kCommError});
    EXPECT_EQ(panel.info, text::kNoAnswer);
  }
  EXPECT_TRUE(device.log().empty());
  EXPECT_GT(echo.exchanges(), 0u);
}

}  // namespace
}  // namespace korvel
