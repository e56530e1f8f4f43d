#pragma once

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/bytes.h"
#include "link/echo_service.h"

namespace korvel {

// The calls into the system that one echo takes, so that the tests can play the system's part
// (what it writes into the reply buffer, and when it signals the event). The real one calls
// Windows, or Wine's ICMP service under Wine.
class IcmpHelper {
 public:
  virtual ~IcmpHelper() = default;

  // GetVersionExW: below 6 the blocking IcmpSendEcho, from 6 on IcmpSendEcho2 with an event.
  virtual DWORD majorVersion() = 0;
  // Wine's IcmpSendEcho2 with an event corrupts the program's heap now and then when another
  // thread allocates while the echo is outstanding (the window's help page, opened during a run,
  // crashed in its rich edit control in about one run of eight); under Wine the blocking call
  // goes on every version.
  virtual bool underWine() = 0;
  virtual HANDLE createFile() = 0;
  virtual void closeHandle(HANDLE icmp) = 0;
  virtual DWORD sendEcho(HANDLE icmp, IPAddr target, ByteView data, IP_OPTION_INFORMATION& options,
                         void* reply, DWORD replySize, DWORD timeoutMs) = 0;
  virtual DWORD sendEcho2(HANDLE icmp, HANDLE event, IPAddr target, ByteView data,
                          IP_OPTION_INFORMATION& options, void* reply, DWORD replySize,
                          DWORD timeoutMs) = 0;
  virtual DWORD parseReplies(void* reply, DWORD replySize) = 0;
  virtual DWORD lastError() = 0;
};

// Windows error codes in the portable terms of the echo service, with the system's own text.
EchoFailure windowsEchoFailure(DWORD code, const char* call);

class WindowsEchoChannel final : public EchoChannel {
 public:
  static constexpr UCHAR kTimeToLiveSync = 15;
  static constexpr UCHAR kTimeToLiveAsync = 64;

  // Takes ownership of `icmp`, a handle from IcmpCreateFile.
  WindowsEchoChannel(IcmpHelper& helper, HANDLE icmp);
  ~WindowsEchoChannel() override;

  WindowsEchoChannel(const WindowsEchoChannel&) = delete;
  WindowsEchoChannel& operator=(const WindowsEchoChannel&) = delete;

  std::optional<std::size_t> echo(Ipv4Address targetAddress, ByteView data,
                                  MutableByteView replyData, std::uint32_t timeoutMs) override;
  const EchoFailure* refusal() const override { return refusal_ ? &*refusal_ : nullptr; }
  EchoFailureKind lastSendFailure() const override { return lastSendFailure_; }

  // Bytes handed to the system as room for its reply record, the reply data and what it
  // appends, for a reply of up to `room` bytes of data.
  static std::size_t platformReplySize(std::size_t room);

 private:
  // An IcmpSendEcho2 whose event had not fired by the timeout: the system may still write into
  // its buffer, so the buffer lives on until the event says it is done.
  struct OutstandingEcho {
    HANDLE event;
    std::vector<std::uint8_t> buffer;
  };

  std::optional<DWORD> sendSync(IPAddr target, ByteView data, DWORD timeoutMs);
  std::optional<DWORD> sendAsync(IPAddr target, ByteView data, DWORD timeoutMs);
  void prepareBuffer(std::size_t room);
  void noteFailure(DWORD code, const char* call);
  void releaseFinishedEchoes();
  std::optional<std::size_t> copyReply(DWORD replies, IPAddr target, MutableByteView replyData);

  IcmpHelper& helper_;
  HANDLE icmp_;
  std::vector<std::uint8_t> buffer_;
  DWORD bufferSizeInUse_ = 0;
  std::vector<OutstandingEcho> outstanding_;
  std::optional<EchoFailure> refusal_;
  EchoFailureKind lastSendFailure_ = EchoFailureKind::None;
};

class WindowsEchoService final : public EchoService {
 public:
  // `helper` must outlive the service and its channels; by default the system's own.
  explicit WindowsEchoService(IcmpHelper* helper = nullptr);
  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override;

 private:
  IcmpHelper& helper_;
};

// The helper that calls the system.
IcmpHelper& systemIcmpHelper();

}  // namespace korvel
