#include "link/icmp/windows_echo_service.h"

#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "common/utf8.h"

namespace korvel {
namespace {

// Past the reply data the system wants room for an ICMP error message (8 bytes) and for its I/O
// status block.
constexpr std::size_t kReplyTail = 8 + sizeof(IO_STATUS_BLOCK);
// How long the channel's end waits for echoes still outstanding before it gives their buffers up
// for lost (leaked rather than freed under a writer).
constexpr DWORD kOutstandingGraceMs = 5000;

std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  for (DWORD i = 0; i < length; ++i) appendUtf8(out, static_cast<char32_t>(text[i]));
  if (text) ::LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
    out.pop_back();
  }
  return out;
}

bool isRefusal(DWORD code) {
  return code == ERROR_ACCESS_DENIED || code == ERROR_NETWORK_ACCESS_DENIED || code == WSAEACCES ||
         code == ERROR_PRIVILEGE_NOT_HELD;
}

IP_OPTION_INFORMATION echoOptions(UCHAR timeToLive) {
  IP_OPTION_INFORMATION options{};
  options.Ttl = timeToLive;
  options.Flags = IP_FLAG_DF;
  return options;
}

class SystemIcmpHelper final : public IcmpHelper {
 public:
  DWORD majorVersion() override {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    // Deprecated in Microsoft's headers for feature tests, but it is what tells the old echo
    // call from the new one.
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    if (!::GetVersionExW(&version)) return 0;
    return version.dwMajorVersion;
  }
  bool underWine() override {
    static const bool wine = [] {
      const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
      return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
  }

  HANDLE createFile() override { return ::IcmpCreateFile(); }

  void closeHandle(HANDLE icmp) override { ::IcmpCloseHandle(icmp); }

  DWORD sendEcho(HANDLE icmp, IPAddr target, ByteView data, IP_OPTION_INFORMATION& options,
                 void* reply, DWORD replySize, DWORD timeoutMs) override {
    return ::IcmpSendEcho(icmp, target, const_cast<std::uint8_t*>(data.data()),
                          static_cast<WORD>(data.size()), &options, reply, replySize, timeoutMs);
  }

  DWORD sendEcho2(HANDLE icmp, HANDLE event, IPAddr target, ByteView data,
                  IP_OPTION_INFORMATION& options, void* reply, DWORD replySize,
                  DWORD timeoutMs) override {
    return ::IcmpSendEcho2(icmp, event, nullptr, nullptr, target,
                           const_cast<std::uint8_t*>(data.data()), static_cast<WORD>(data.size()),
                           &options, reply, replySize, timeoutMs);
  }

  DWORD parseReplies(void* reply, DWORD replySize) override {
    return ::IcmpParseReplies(reply, replySize);
  }

  DWORD lastError() override { return ::GetLastError(); }
};

}  // namespace

EchoFailure windowsEchoFailure(DWORD code, const char* call) {
  const EchoFailureKind kind =
      isRefusal(code) ? EchoFailureKind::NotPermitted : EchoFailureKind::Unavailable;
  std::string detail =
      std::string(call) + ": " + systemMessage(code) + " (" + std::to_string(code) + ")";
  // No remedy to offer: what refuses ICMP on Windows (a firewall, a policy) is not ours to name.
  return {kind, static_cast<int>(code), std::move(detail), {}};
}

IcmpHelper& systemIcmpHelper() {
  static SystemIcmpHelper helper;
  return helper;
}

std::size_t WindowsEchoChannel::platformReplySize(std::size_t room) {
  return sizeof(ICMP_ECHO_REPLY) + room + kReplyTail;
}

WindowsEchoChannel::WindowsEchoChannel(IcmpHelper& helper, HANDLE icmp)
    : helper_(helper), icmp_(icmp) {}

WindowsEchoChannel::~WindowsEchoChannel() {
  helper_.closeHandle(icmp_);
  for (OutstandingEcho& echo : outstanding_) {
    if (::WaitForSingleObject(echo.event, kOutstandingGraceMs) != WAIT_OBJECT_0) {
      // The system may still write here: the buffer stays allocated for good.
      static_cast<void>(new std::vector<std::uint8_t>(std::move(echo.buffer)));
    }
    ::CloseHandle(echo.event);
  }
}

std::optional<std::size_t> WindowsEchoChannel::echo(Ipv4Address targetAddress, ByteView data,
                                                    MutableByteView replyData,
                                                    std::uint32_t timeoutMs) {
  lastSendFailure_ = EchoFailureKind::None;
  if (data.size() > 0xFFFF) return std::nullopt;
  releaseFinishedEchoes();
  prepareBuffer(std::max(replyData.size(), data.size()));
  const IPAddr target = targetAddress.networkOrder();
  const bool blocking = helper_.majorVersion() < 6 || helper_.underWine();
  const auto replies =
      blocking ? sendSync(target, data, timeoutMs) : sendAsync(target, data, timeoutMs);
  if (!replies) return std::nullopt;
  return copyReply(*replies, target, replyData);
}

// A fresh record at the start of the buffer on every send: its reply count, status and data
// pointer must come from this very send, never from the one before.
void WindowsEchoChannel::prepareBuffer(std::size_t room) {
  const std::size_t size = platformReplySize(room);
  if (buffer_.size() < size) buffer_.resize(size);
  std::fill(buffer_.begin(), buffer_.end(), std::uint8_t{0});
  bufferSizeInUse_ = static_cast<DWORD>(size);
}

std::optional<DWORD> WindowsEchoChannel::sendSync(IPAddr target, ByteView data, DWORD timeoutMs) {
  IP_OPTION_INFORMATION options = echoOptions(kTimeToLiveSync);
  const DWORD replies =
      helper_.sendEcho(icmp_, target, data, options, buffer_.data(), bufferSizeInUse_, timeoutMs);
  if (replies == 0) {
    noteFailure(helper_.lastError(), "IcmpSendEcho");
    return std::nullopt;
  }
  return replies;
}

std::optional<DWORD> WindowsEchoChannel::sendAsync(IPAddr target, ByteView data, DWORD timeoutMs) {
  const HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!event) return std::nullopt;
  IP_OPTION_INFORMATION options = echoOptions(kTimeToLiveAsync);
  const DWORD immediate = helper_.sendEcho2(icmp_, event, target, data, options, buffer_.data(),
                                            bufferSizeInUse_, timeoutMs);
  if (immediate == 0) {
    const DWORD error = helper_.lastError();
    if (error != ERROR_IO_PENDING) {
      // Refused before anything was sent: nothing is outstanding.
      ::CloseHandle(event);
      noteFailure(error, "IcmpSendEcho2");
      return std::nullopt;
    }
  }
  if (::WaitForSingleObject(event, timeoutMs) != WAIT_OBJECT_0) {
    outstanding_.push_back({event, std::move(buffer_)});
    buffer_.clear();
    return std::nullopt;
  }
  ::CloseHandle(event);
  // Wine signals the event without writing a reply when its service could not open a socket;
  // only the count of replies tells that from a reply.
  const DWORD replies = helper_.parseReplies(buffer_.data(), bufferSizeInUse_);
  if (replies == 0) {
    if (helper_.lastError() == IP_PACKET_TOO_BIG) lastSendFailure_ = EchoFailureKind::TooLarge;
    return std::nullopt;
  }
  return replies;
}

void WindowsEchoChannel::noteFailure(DWORD code, const char* call) {
  if (isRefusal(code)) refusal_ = windowsEchoFailure(code, call);
  if (code == IP_PACKET_TOO_BIG) lastSendFailure_ = EchoFailureKind::TooLarge;
}

void WindowsEchoChannel::releaseFinishedEchoes() {
  std::erase_if(outstanding_, [](const OutstandingEcho& echo) {
    if (::WaitForSingleObject(echo.event, 0) != WAIT_OBJECT_0) return false;
    ::CloseHandle(echo.event);
    return true;
  });
}

// Reads the first reply record, never past the part of the buffer the system was given, and
// hands on its data only for a successful echo reply from the target that fits `replyData`.
std::optional<std::size_t> WindowsEchoChannel::copyReply(DWORD replies, IPAddr target,
                                                         MutableByteView replyData) {
  if (replies == 0) return std::nullopt;
  ICMP_ECHO_REPLY record;
  std::memcpy(&record, buffer_.data(), sizeof record);
  // The system's answer when the request is larger than the route lets through unfragmented.
  if (record.Status == IP_PACKET_TOO_BIG) lastSendFailure_ = EchoFailureKind::TooLarge;
  if (record.Status != IP_SUCCESS || record.Address != target) return std::nullopt;
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer_.data());
  const auto data = reinterpret_cast<std::uintptr_t>(record.Data);
  const std::size_t size = record.DataSize;
  if (data < begin + sizeof record || data > begin + bufferSizeInUse_ ||
      size > begin + bufferSizeInUse_ - data || size > replyData.size()) {
    return std::nullopt;
  }
  std::memcpy(replyData.data(), buffer_.data() + (data - begin), size);
  return size;
}

WindowsEchoService::WindowsEchoService(IcmpHelper* helper)
    : helper_(helper ? *helper : systemIcmpHelper()) {}

std::unique_ptr<EchoChannel> WindowsEchoService::open(EchoFailure& failure) {
  const HANDLE icmp = helper_.createFile();
  if (icmp == INVALID_HANDLE_VALUE) {
    failure = windowsEchoFailure(helper_.lastError(), "IcmpCreateFile");
    return nullptr;
  }
  return std::make_unique<WindowsEchoChannel>(helper_, icmp);
}

std::unique_ptr<EchoService> makeSystemEchoService() {
  return std::make_unique<WindowsEchoService>();
}

}  // namespace korvel
