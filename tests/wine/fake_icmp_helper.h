#pragma once

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "link/icmp/windows_echo_service.h"

namespace korvel::test {

// Plays the system's part for the Windows echo channel: reports a version, records each call and
// answers it the way a test says, writing into the reply buffer what the system would.
class FakeIcmpHelper : public IcmpHelper {
 public:
  struct Call {
    bool async = false;
    IPAddr target = 0;
    Bytes data;
    UCHAR ttl = 0;
    UCHAR flags = 0;
    std::uint8_t* reply = nullptr;
    DWORD replySize = 0;
    DWORD timeoutMs = 0;
    HANDLE event = nullptr;
  };

  // What the system does with one call: writes the reply buffer and returns the immediate
  // result (the reply count; 0 with `lastErrorCode` set for a failure or a pending echo). On the
  // event path it also decides whether the event fires.
  struct Outcome {
    DWORD result = 0;
    DWORD lastErrorCode = 0;
    bool signal = true;
  };
  std::function<Outcome(Call&)> answer = [](Call&) { return Outcome{0, IP_REQ_TIMED_OUT, true}; };

  DWORD version = 10;
  bool wine = false;
  HANDLE handleToOpen = reinterpret_cast<HANDLE>(0x1234);
  DWORD openError = 0;
  std::vector<Call> calls;
  std::vector<HANDLE> closed;
  int versionReads = 0;

  DWORD majorVersion() override {
    ++versionReads;
    return version;
  }
  bool underWine() override { return wine; }
  HANDLE createFile() override {
    error_ = openError;
    return handleToOpen;
  }
  void closeHandle(HANDLE icmp) override { closed.push_back(icmp); }

  DWORD sendEcho(HANDLE, IPAddr target, ByteView data, IP_OPTION_INFORMATION& options, void* reply,
                 DWORD replySize, DWORD timeoutMs) override {
    return run({false, target, Bytes(data.begin(), data.end()), options.Ttl, options.Flags,
                static_cast<std::uint8_t*>(reply), replySize, timeoutMs, nullptr});
  }
  DWORD sendEcho2(HANDLE, HANDLE event, IPAddr target, ByteView data,
                  IP_OPTION_INFORMATION& options, void* reply, DWORD replySize,
                  DWORD timeoutMs) override {
    return run({true, target, Bytes(data.begin(), data.end()), options.Ttl, options.Flags,
                static_cast<std::uint8_t*>(reply), replySize, timeoutMs, event});
  }
  // As Windows and Wine do it: the count sits in the record's Reserved field.
  DWORD parseReplies(void* reply, DWORD) override {
    ICMP_ECHO_REPLY record;
    std::memcpy(&record, reply, sizeof record);
    error_ = record.Reserved == 0 ? record.Status : 0;
    return record.Reserved;
  }
  DWORD lastError() override { return error_; }

 private:
  DWORD run(Call call) {
    calls.push_back(call);
    const Outcome outcome = answer(calls.back());
    error_ = outcome.lastErrorCode;
    if (call.event && outcome.signal) ::SetEvent(call.event);
    return outcome.result;
  }

  DWORD error_ = 0;
};

// Writes one reply record as the system does: the record, then the data right behind it, with
// the count of replies in Reserved; `data` goes where `dataAt` says (default right behind).
inline void writeEchoReply(const FakeIcmpHelper::Call& call, ULONG status, IPAddr from,
                           ByteView data, std::optional<std::uint8_t*> dataAt = std::nullopt,
                           std::optional<USHORT> dataSize = std::nullopt) {
  ICMP_ECHO_REPLY record{};
  record.Address = from;
  record.Status = status;
  record.Reserved = 1;
  record.DataSize = dataSize.value_or(static_cast<USHORT>(data.size()));
  std::uint8_t* where = dataAt.value_or(call.reply + sizeof record);
  record.Data = where;
  std::memcpy(call.reply, &record, sizeof record);
  const auto begin = reinterpret_cast<std::uintptr_t>(call.reply);
  const auto at = reinterpret_cast<std::uintptr_t>(where);
  if (at >= begin + sizeof record && at + data.size() <= begin + call.replySize) {
    std::memcpy(where, data.data(), data.size());
  }
}

}  // namespace korvel::test
