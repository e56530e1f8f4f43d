#pragma once

#include <algorithm>
#include <memory>

#include "link/crc16.h"
#include "link/device_protocol.h"
#include "link/echo_service.h"
#include "link/frame_header.h"

namespace korvel::bench {

// A device that costs next to nothing: it answers every frame at once with status 1, as long as
// the request allows up to 113 bytes (room for the value the preparation keeps), and with resend
// byte 0x01 ("taken") wherever a record's reply has one. What a run costs against it is the
// program's own time.
class InstantDevice : public EchoService {
 public:
  std::unique_ptr<EchoChannel> open(EchoFailure&) override {
    return std::make_unique<Channel>(*this);
  }

  std::size_t exchanges = 0;

 private:
  static constexpr std::uint16_t kLongestReply =
      bus::kSavedValueOffset + bus::kSavedValueSize - FrameHeader::kSize;

  class Channel : public EchoChannel {
   public:
    explicit Channel(InstantDevice& owner) : owner_(owner) {}

    std::optional<std::size_t> echo(std::uint32_t, ByteView data, MutableByteView replyData,
                                    std::uint32_t) override {
      ++owner_.exchanges;
      const FrameHeader asked = FrameHeader::read(data);
      FrameHeader header{0, std::min(asked.length, kLongestReply), ~asked.token, asked.sequence};
      const std::size_t size = FrameHeader::kSize + header.length;
      if (size > replyData.size()) return std::nullopt;
      std::fill_n(replyData.begin(), size, std::uint8_t{0});
      header.write(replyData);
      replyData[reply::kStatusOffset] = reply::kStatusOk;
      if (size > bus::kResendByteOffset) replyData[bus::kResendByteOffset] = 0x01;
      header.checksum = Crc16(replyData.subspan(FrameHeader::kLengthOffset, size - 2));
      header.write(replyData);
      return size;
    }

   private:
    InstantDevice& owner_;
  };
};

}  // namespace korvel::bench
