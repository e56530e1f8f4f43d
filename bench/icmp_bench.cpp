// korvel-bench-icmp: measurements over real ICMP against korvel-devsim, run inside the
// simulator's namespace (scripts/with-devsim), and the images they use.
//
//   korvel-bench-icmp program --ip A.B.C.D --image FILE
//       Programs the image as the window would, with real pauses, and prints key=value figures:
//       the run's time split into the fixed pauses and the rest, the rest against the round trip
//       of bare echo exchanges of the same sizes on the same socket, and how far each pause
//       overshot what it asked for.
//   korvel-bench-icmp peak-rss -- COMMAND [ARGS...]
//       Runs the command and prints its exit status, its peak resident memory in KiB, the time it
//       took and the CPU time it used (user and system, all its threads).
//   korvel-bench-icmp make-image --path boot|bus --bytes N --record SIZE [--seed S]
//                                --image FILE [--data FILE]
//       Writes an image of N data bytes in records of SIZE (bus address 5 for the bus path), and
//       optionally the bytes the target must hold afterwards.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device_model/image_builder.h"
#include "image/firmware_image.h"
#include "link/echo_link.h"
#include "link/icmp/linux_echo_service.h"
#include "programming/device_programmer.h"
#include "quiet_panel.h"

namespace korvel::bench {
namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Sleeps like the real pauses and keeps how long each one took.
class TimedPauses : public Pauses {
 public:
  void pause(std::uint32_t asked) override {
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(asked));
    taken.push_back({asked, Clock::now() - start});
  }

  struct Taken {
    std::uint32_t asked;
    Clock::duration actual;
  };
  std::vector<Taken> taken;
};

// The system's echo facility, counting the exchanges by request size and keeping one request of
// each size to replay afterwards.
class MeasuringEchoService : public EchoService {
 public:
  struct Size {
    std::size_t exchanges = 0;
    Bytes sample;
    std::vector<Clock::duration> idleBefore;  // since the exchange before ended
  };

  explicit MeasuringEchoService(EchoService& system) : system_(system) {}

  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override {
    auto channel = system_.open(failure);
    if (!channel) return nullptr;
    if (auto* onLinux = dynamic_cast<LinuxEchoChannel*>(channel.get())) {
      socketKind = onLinux->socketKind() == IcmpSocketKind::Ping ? "ping" : "raw";
    }
    return std::make_unique<Channel>(*this, std::move(channel));
  }

  std::map<std::size_t, Size> sizes;
  std::string socketKind = "?";
  std::optional<Clock::time_point> lastEnd;
  Clock::duration onTheWire{};  // inside the echo facility, waiting for replies included

 private:
  class Channel : public EchoChannel {
   public:
    Channel(MeasuringEchoService& owner, std::unique_ptr<EchoChannel> inner)
        : owner_(owner), inner_(std::move(inner)) {}
    std::optional<std::size_t> echo(Ipv4Address target, ByteView data, MutableByteView reply,
                                    std::uint32_t timeoutMs) override {
      Size& size = owner_.sizes[data.size()];
      ++size.exchanges;
      size.sample.assign(data.begin(), data.end());
      const auto start = Clock::now();
      if (owner_.lastEnd) size.idleBefore.push_back(start - *owner_.lastEnd);
      auto got = inner_->echo(target, data, reply, timeoutMs);
      owner_.lastEnd = Clock::now();
      owner_.onTheWire += *owner_.lastEnd - start;
      return got;
    }

   private:
    MeasuringEchoService& owner_;
    std::unique_ptr<EchoChannel> inner_;
  };

  EchoService& system_;
};

Clock::duration median(std::vector<Clock::duration> values) {
  if (values.empty()) return {};
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Mean round trip of the sample request of one size, replayed on a channel of its own: the
// simulator answers it as it answered in the run (a frame it has just acted on, from memory).
// With `idle`, each replay waits that long first, as the run waited before such exchanges: after
// a pause both ends answer more slowly than back to back.
std::optional<double> bareRoundTripMs(EchoService& system, Ipv4Address target, const Bytes& request,
                                      std::size_t replays, Clock::duration idle) {
  EchoFailure failure;
  auto channel = system.open(failure);
  if (!channel) return std::nullopt;
  Bytes reply(std::max<std::size_t>(request.size(), 8));
  double total = 0;
  std::size_t answered = 0;
  for (std::size_t i = 0; i < replays + 1; ++i) {
    if (idle > std::chrono::microseconds(500)) std::this_thread::sleep_for(idle);
    const auto start = Clock::now();
    const auto got = channel->echo(target, request, reply, 1000);
    const auto took = Clock::now() - start;
    if (!got || i == 0) continue;  // the first one may be acted on; the rest are answered alike
    total += milliseconds(took);
    ++answered;
  }
  if (answered == 0) return std::nullopt;
  return total / static_cast<double>(answered);
}

int program(const std::string& ip, const std::string& imagePath) {
  const auto address = Ipv4Address::parse(ip);
  if (!address) {
    std::fprintf(stderr, "korvel-bench-icmp: bad address %s\n", ip.c_str());
    return 2;
  }
  auto system = makeSystemEchoService();
  MeasuringEchoService measuring(*system);
  QuietPanel panel;
  panel.ip = *address;
  panel.path = imagePath;
  TimedPauses pauses;
  DeviceProgrammer programmer(panel, measuring, pauses);

  const auto start = Clock::now();
  programmer.programDevice();
  const double totalMs = milliseconds(Clock::now() - start);
  if (!panel.warnings.empty()) {
    std::fprintf(stderr, "korvel-bench-icmp: the run failed: %s (information: %s)\n",
                 panel.warnings.front().c_str(), panel.info.c_str());
    return 1;
  }

  double pausedMs = 0, askedMs = 0, overshootMax = 0;
  for (const auto& p : pauses.taken) {
    const double actual = milliseconds(p.actual);
    pausedMs += actual;
    askedMs += p.asked;
    overshootMax = std::max(overshootMax, actual - p.asked);
  }
  const double restMs = totalMs - pausedMs;

  // What the same exchanges cost on the wire alone: back to back, and with the idle time the
  // run had before them.
  double hotMs = 0, bareMs = 0;
  std::size_t exchanges = 0;
  const Ipv4Address target = *address;
  for (const auto& [size, seen] : measuring.sizes) {
    const auto idle = median(seen.idleBefore);
    // At most about two seconds of idling per size, and never fewer than three replays.
    const auto idleBudget = static_cast<std::size_t>(2000 / std::max(milliseconds(idle), 1.0));
    const std::size_t replays =
        std::clamp<std::size_t>(std::min(seen.exchanges, idleBudget), 3, 200);
    const auto hot = bareRoundTripMs(*system, target, seen.sample, replays, {});
    const auto matched = bareRoundTripMs(*system, target, seen.sample, replays, idle);
    if (!hot || !matched) {
      std::fprintf(stderr, "korvel-bench-icmp: no answer to a bare exchange of %zu bytes\n", size);
      return 1;
    }
    const auto count = static_cast<double>(seen.exchanges);
    hotMs += *hot * count;
    bareMs += *matched * count;
    exchanges += seen.exchanges;
    std::printf(
        "size=%zu exchanges=%zu idle_before_ms=%.2f bare_rtt_us=%.1f bare_rtt_after_idle_us=%.1f\n",
        size, seen.exchanges, milliseconds(idle), *hot * 1000, *matched * 1000);
  }
  const double overshootAvg =
      pauses.taken.empty() ? 0 : (pausedMs - askedMs) / static_cast<double>(pauses.taken.size());
  std::printf(
      "socket=%s total_s=%.3f pauses=%zu paused_asked_s=%.3f paused_s=%.3f rest_s=%.3f "
      "exchanges=%zu bare_s=%.3f ratio=%.3f hot_bare_s=%.3f hot_ratio=%.3f "
      "rest_per_exchange_us=%.1f bare_per_exchange_us=%.1f wire_s=%.3f own_s=%.3f "
      "overshoot_avg_ms=%.3f overshoot_max_ms=%.3f\n",
      measuring.socketKind.c_str(), totalMs / 1000, pauses.taken.size(), askedMs / 1000,
      pausedMs / 1000, restMs / 1000, exchanges, bareMs / 1000, restMs / bareMs, hotMs / 1000,
      restMs / hotMs, restMs * 1000 / static_cast<double>(exchanges),
      bareMs * 1000 / static_cast<double>(exchanges), milliseconds(measuring.onTheWire) / 1000,
      (restMs - milliseconds(measuring.onTheWire)) / 1000, overshootAvg, overshootMax);
  return 0;
}

double seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

int peakRss(char** command) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) return 2;
  if (child == 0) {
    ::execvp(command[0], command);
    std::perror("korvel-bench-icmp: exec");
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) < 0) return 2;
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - started;
  std::printf("exit=%d peak_rss_kib=%ld wall_s=%.3f cpu_s=%.3f\n", exitStatus, usage.ru_maxrss,
              wall.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime));
  return exitStatus;
}

int makeImage(int argc, char** argv) {
  std::string path = "boot", imageFile, dataFile;
  std::uint64_t bytes = 65536, record = 1024, seed = 1;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--path")
      path = value;
    else if (key == "--bytes")
      bytes = std::stoull(value);
    else if (key == "--record")
      record = std::stoull(value);
    else if (key == "--seed")
      seed = std::stoull(value);
    else if (key == "--image")
      imageFile = value;
    else if (key == "--data")
      dataFile = value;
    else
      return 2;
  }
  if (imageFile.empty() || record == 0 || (path != "boot" && path != "bus")) return 2;
  const bool bus = path == "bus";
  std::ofstream image(imageFile, std::ios::binary | std::ios::trunc);
  std::ofstream data;
  if (!dataFile.empty()) data.open(dataFile, std::ios::binary | std::ios::trunc);
  const auto put = [](std::ofstream& out, const Bytes& b) {
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  };
  ImageBuilder head;
  head.name("BENCH " + std::to_string(seed)).version(1, 0);
  if (bus) head.address(5);
  put(image, head.bytes());
  for (std::uint64_t done = 0, i = 0; done < bytes; ++i) {
    const Bytes payload = samplePayload(std::min(record, bytes - done),
                                        static_cast<std::uint32_t>(seed * 1000003 + i));
    ImageBuilder one;
    one.data(bus ? static_cast<std::uint8_t>(0x20 + i % 64) : 12, payload);
    put(image, one.bytes());
    if (data.is_open()) put(data, payload);
    done += payload.size();
  }
  return image.good() && (!data.is_open() || data.good()) ? 0 : 1;
}

}  // namespace
}  // namespace korvel::bench

int main(int argc, char** argv) {
  using namespace korvel::bench;
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "program" && argc == 6 && std::strcmp(argv[2], "--ip") == 0 &&
      std::strcmp(argv[4], "--image") == 0) {
    return program(argv[3], argv[5]);
  }
  if (command == "peak-rss" && argc > 3 && std::strcmp(argv[2], "--") == 0)
    return peakRss(argv + 3);
  if (command == "make-image") return makeImage(argc, argv);
  std::fprintf(stderr,
               "usage: korvel-bench-icmp program --ip A.B.C.D --image FILE\n"
               "       korvel-bench-icmp peak-rss -- COMMAND [ARGS...]\n"
               "       korvel-bench-icmp make-image --path boot|bus --bytes N --record SIZE "
               "[--seed S] --image FILE [--data FILE]\n");
  return 2;
}
