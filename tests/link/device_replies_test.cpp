#include "link/device_replies.h"

#include <gtest/gtest.h>

#include "link/frame_header.h"
#include "link/frame_seal.h"

namespace korvel {
namespace {

Bytes frameAround(const Bytes& body) {
  Bytes frame(FrameHeader::kSize, 0);
  frame.insert(frame.end(), body.begin(), body.end());
  FrameHeader header;
  header.length = static_cast<std::uint16_t>(body.size());
  header.write(frame);
  sealFrame(frame);
  return frame;
}

TEST(DeviceRepliesTest, TheInformationReplyComesBackAsItWasWritten) {
  const DeviceInfoReply info{0x12AB, (3u << 16) | 7, std::string(32, 'Z'), 0x0102, "MAIN", 0xFFFF};
  const Bytes body = info.encode();
  EXPECT_EQ(body.size(), reply::kMinLength);
  // Where the device puts them in the frame: board id at byte 13, the program's version at 87.
  const Bytes frame = frameAround(body);
  EXPECT_EQ(getLe32(frame, 13), 0x12ABu);
  EXPECT_EQ(getLe16(frame, 87), 0xFFFF);
  EXPECT_EQ(DeviceInfoReply::parse(replyBody(frame)), info);
  // A text longer than its field is cut to it; one without a zero ends with the field.
  DeviceInfoReply longText = info;
  longText.text2 = std::string(40, 'Q');
  EXPECT_EQ(DeviceInfoReply::parse(longText.encode())->text2, std::string(32, 'Q'));
  EXPECT_EQ(DeviceInfoReply::parse(ByteView(body).first(76)), std::nullopt);
}

TEST(DeviceRepliesTest, TheSavedValueNeedsTheWholeAnswer) {
  const SubordinateQueryReply query{{0x11, 0x22, 0x33, 0x44}};
  Bytes body = query.encode();
  EXPECT_EQ(body.size(), 113u);
  const auto parsed = SubordinateQueryReply::parse(body);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->savedValue, query.savedValue);
  body.pop_back();
  EXPECT_FALSE(SubordinateQueryReply::parse(body));
}

TEST(DeviceRepliesTest, TheResendByteSaysTakenAndHowManyAgain) {
  struct Case {
    std::optional<std::uint8_t> byte;
    bool taken;
    unsigned again;
  };
  for (const Case& c :
       {Case{std::nullopt, true, 0}, Case{0x01, true, 0}, Case{0x03, true, 1}, Case{0x05, true, 2},
        Case{0x07, true, 3}, Case{0xFF, true, 3}, Case{0x00, false, 0}, Case{0x06, false, 3}}) {
    const BusRecordAck ack = BusRecordAck::parse(BusRecordAck{c.byte}.encode());
    EXPECT_EQ(ack.resendByte, c.byte);
    EXPECT_EQ(ack.taken(), c.taken) << int(c.byte.value_or(0xAA));
    if (c.taken) {
      EXPECT_EQ(ack.resendCount(), c.again);
    }
  }
  // A reply of the device's own length has no resend byte: the record was taken.
  EXPECT_EQ(BusRecordAck{}.encode().size(), reply::kMinLength);
}

TEST(DeviceRepliesTest, StatusIsTheBodysFirstByte) {
  Bytes body = BusRecordAck{}.encode();
  EXPECT_FALSE(replyStatusOk(body));
  body[0] = reply::kStatusOk;
  EXPECT_TRUE(replyStatusOk(body));
  EXPECT_EQ(replyStatus(body), 1);
  EXPECT_FALSE(replyStatusOk({}));
}

TEST(FrameSealTest, CoversTheFrameFromItsLengthFieldToItsEnd) {
  Bytes frame = frameAround(Bytes{1, 2, 3, 4, 5});
  EXPECT_TRUE(frameSealIntact(frame));
  // Bytes after the counted payload are no part of the frame.
  Bytes longer = frame;
  longer.push_back(0x77);
  EXPECT_TRUE(frameSealIntact(longer));
  for (std::size_t i = 0; i < frame.size(); ++i) {
    Bytes broken = frame;
    broken[i] ^= 0x10;
    EXPECT_FALSE(frameSealIntact(broken)) << i;
  }
  // Cut off before the length field's end: the seal would run over bytes that never came.
  EXPECT_FALSE(frameSealIntact(ByteView(frame).first(frame.size() - 1)));
  EXPECT_FALSE(frameSealIntact(ByteView(frame).first(11)));
}

}  // namespace
}  // namespace korvel
