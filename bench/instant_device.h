#pragma once

#include <algorithm>
#include <memory>

#include "common/bytes.h"
#include "link/device_replies.h"
#include "link/echo_service.h"
#include "link/frame_header.h"
#include "link/frame_seal.h"

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
  // Every reply's body is the start of this one: status 1, then (past the device's own 77
  // bytes) the resend byte "taken", then zeros as long as the longest answer.
  static Bytes longestBody() {
    Bytes body = BusRecordAck{BusRecordAck::kTaken}.encode();
    body.resize(SubordinateQueryReply{}.encode().size(), 0);
    body.front() = reply::kStatusOk;
    return body;
  }
  const Bytes body_ = longestBody();

  class Channel : public EchoChannel {
   public:
    explicit Channel(InstantDevice& owner) : owner_(owner) {}

    std::optional<std::size_t> echo(Ipv4Address, ByteView data, MutableByteView replyData,
                                    std::uint32_t) override {
      ++owner_.exchanges;
      const FrameHeader asked = FrameHeader::read(data);
      const Bytes& body = owner_.body_;
      const auto length = std::min<std::size_t>(asked.length, body.size());
      const FrameHeader header{0, static_cast<std::uint16_t>(length), ~asked.token, asked.sequence};
      const std::size_t size = FrameHeader::kSize + length;
      if (size > replyData.size()) return std::nullopt;
      header.write(replyData);
      std::copy_n(body.begin(), length, replyData.begin() + FrameHeader::kSize);
      sealFrame(replyData);
      return size;
    }

   private:
    InstantDevice& owner_;
  };
};

}  // namespace korvel::bench
