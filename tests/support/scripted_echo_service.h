#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "link/echo_service.h"

namespace korvel::test {

// An echo facility whose answers a test writes in advance: each echo takes the next scripted
// answer (a reply's data, or nothing); every request is recorded.
class ScriptedEchoService : public EchoService {
 public:
  struct Sent {
    Ipv4Address target;
    Bytes data;
    std::size_t replyRoom;
  };

  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override {
    if (refuseWith.kind != EchoFailureKind::None) {
      failure = refuseWith;
      return nullptr;
    }
    ++opened;
    return std::make_unique<Channel>(*this);
  }

  void reply(Bytes data) { answers.push_back(std::move(data)); }
  void silence(int count = 1) {
    for (int i = 0; i < count; ++i) answers.push_back(std::nullopt);
  }

  // When set, answers are made from the request instead of taken from the script.
  std::function<std::optional<Bytes>(ByteView request)> responder;

  EchoFailure refuseWith;
  // When set, the channels open but every send is refused for this reason.
  std::optional<EchoFailure> refuseSendsWith;
  std::deque<std::optional<Bytes>> answers;
  std::vector<Sent> sent;
  int opened = 0;

 private:
  class Channel : public EchoChannel {
   public:
    explicit Channel(ScriptedEchoService& owner) : owner_(owner) {}
    std::optional<std::size_t> echo(Ipv4Address target, ByteView data, MutableByteView replyData,
                                    std::uint32_t) override {
      owner_.sent.push_back({target, Bytes(data.begin(), data.end()), replyData.size()});
      if (owner_.refuseSendsWith) return std::nullopt;
      std::optional<Bytes> answer;
      if (owner_.responder) {
        answer = owner_.responder(data);
      } else if (!owner_.answers.empty()) {
        answer = std::move(owner_.answers.front());
        owner_.answers.pop_front();
      }
      if (!answer || answer->size() > replyData.size()) return std::nullopt;
      std::copy(answer->begin(), answer->end(), replyData.begin());
      return answer->size();
    }
    const EchoFailure* refusal() const override {
      return owner_.refuseSendsWith ? &*owner_.refuseSendsWith : nullptr;
    }

   private:
    ScriptedEchoService& owner_;
  };
};

}  // namespace korvel::test
