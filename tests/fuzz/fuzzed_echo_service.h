#pragma once

#include <algorithm>
#include <memory>

#include "fuzz_input.h"
#include "link/crc16.h"
#include "link/echo_service.h"
#include "link/frame_header.h"

namespace korvel::fuzz {

// An echo facility whose every answer comes from the fuzzer's input. Each answer begins with a
// control byte: silence, or a reply of the length that follows, taken from the input, which the
// control byte may then make partly sound (length field, token, status, checksum) so that the
// fuzzer gets past the link's tests without having to guess a checksum. Once the input is used
// up, every request meets silence.
class FuzzedEchoService : public EchoService {
 public:
  explicit FuzzedEchoService(FuzzInput& input) : input_(input) {}

  std::unique_ptr<EchoChannel> open(EchoFailure&) override {
    return std::make_unique<Channel>(*this);
  }

  std::size_t exchanges = 0;

 private:
  enum Control : std::uint8_t {
    kSilence = 0x03,      // both bits clear: nothing comes back
    kFixLength = 0x04,    // the length field says how many bytes follow the header
    kFixToken = 0x08,     // the token field is the request's, inverted
    kStatusOk = 0x10,     // status byte 1
    kFixChecksum = 0x20,  // the frame checksum is right, after the fixes above
    kClaimMore = 0x40,    // claim to have received more than fits (never copied)
  };

  class Channel : public EchoChannel {
   public:
    explicit Channel(FuzzedEchoService& owner) : owner_(owner) {}

    std::optional<std::size_t> echo(Ipv4Address, ByteView data, MutableByteView replyData,
                                    std::uint32_t) override {
      ++owner_.exchanges;
      FuzzInput& input = owner_.input_;
      if (input.empty()) return std::nullopt;
      const std::uint8_t control = input.byte();
      if ((control & kSilence) == 0) return std::nullopt;
      const std::size_t wanted = input.le16() % (replyData.size() + 9);
      const ByteView given = input.bytes(wanted);
      const std::size_t size = std::min(given.size(), replyData.size());
      std::copy_n(given.begin(), size, replyData.begin());
      mend(control, data, replyData.first(size));
      if ((control & kClaimMore) != 0) return replyData.size() + 1 + (control & kSilence);
      return size;
    }

   private:
    static void mend(std::uint8_t control, ByteView request, MutableByteView reply) {
      if (reply.size() < FrameHeader::kSize || request.size() < FrameHeader::kSize) return;
      FrameHeader header = FrameHeader::read(reply);
      if ((control & kFixLength) != 0) {
        header.length = static_cast<std::uint16_t>(reply.size() - FrameHeader::kSize);
      }
      if ((control & kFixToken) != 0) header.token = ~FrameHeader::read(request).token;
      if ((control & kStatusOk) != 0 && reply.size() > FrameHeader::kSize) {
        reply[FrameHeader::kSize] = 1;
      }
      header.write(reply);
      const std::size_t covered =
          std::min<std::size_t>(header.length + FrameHeader::kSize, reply.size());
      if ((control & kFixChecksum) != 0) {
        header.checksum = Crc16(reply.subspan(FrameHeader::kLengthOffset, covered - 2));
        header.write(reply);
      }
    }

    FuzzedEchoService& owner_;
  };

  FuzzInput& input_;
};

}  // namespace korvel::fuzz
