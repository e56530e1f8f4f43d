#pragma once

#include <functional>
#include <vector>

#include "link/exchange_observer.h"

namespace korvel::test {

// Keeps every echo exchange a link reports, with copies of the bytes that are only lent.
class RecordingExchanges : public ExchangeObserver {
 public:
  struct Seen {
    EchoExchange exchange;
    Bytes sent;
    Bytes reply;
  };

  void onExchange(const EchoExchange& exchange) override {
    seen.push_back({exchange, Bytes(exchange.sent.begin(), exchange.sent.end()),
                    Bytes(exchange.reply.begin(), exchange.reply.end())});
    seen.back().exchange.sent = {};
    seen.back().exchange.reply = {};
    if (onSeen) onSeen(seen.back());
  }

  std::vector<ExchangeResult> results() const {
    std::vector<ExchangeResult> found;
    for (const auto& s : seen) found.push_back(s.exchange.result);
    return found;
  }

  std::vector<Seen> seen;
  std::function<void(const Seen&)> onSeen;
};

}  // namespace korvel::test
