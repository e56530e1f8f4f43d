#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sched.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/icmp/linux_icmp_helper.h"

namespace korvel {
namespace {

constexpr char kHelper[] = KORVEL_ICMP_SOCKET;

struct Ended {
  int status = -1;
  std::string stderrText;
};

// Runs the helper with `fd3` (or nothing) on its descriptor 3 and returns how it ended.
class HelperRun {
 public:
  HelperRun(std::vector<std::string> args, std::optional<int> fd3) {
    int pipeEnds[2];
    EXPECT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    stderrRead_ = pipeEnds[0];
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    if (fd3)
      ::posix_spawn_file_actions_adddup2(&actions, *fd3, 3);
    else
      ::posix_spawn_file_actions_addclose(&actions, 3);
    std::vector<char*> argv{const_cast<char*>(kHelper)};
    for (auto& arg : args_ = std::move(args)) argv.push_back(arg.data());
    argv.push_back(nullptr);
    char* noEnvironment[] = {nullptr};
    EXPECT_EQ(::posix_spawn(&pid_, kHelper, &actions, nullptr, argv.data(), noEnvironment), 0);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
  }
  ~HelperRun() { ::close(stderrRead_); }

  pid_t pid() const { return pid_; }

  Ended wait() {
    Ended ended;
    char buffer[512];
    ssize_t size;
    while ((size = ::read(stderrRead_, buffer, sizeof buffer)) > 0) {
      ended.stderrText.append(buffer, static_cast<std::size_t>(size));
    }
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status))
      ended.status = WEXITSTATUS(status);
    return ended;
  }

 private:
  std::vector<std::string> args_;
  pid_t pid_ = -1;
  int stderrRead_ = -1;
};

// Records, so that the helper's message stays apart from anything a test sends first.
class SocketPair {
 public:
  SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends_), 0); }
  ~SocketPair() {
    ::close(ends_[0]);
    ::close(ends_[1]);
  }
  int program() const { return ends_[0]; }
  int helper() const { return ends_[1]; }

 private:
  int ends_[2] = {-1, -1};
};

struct Refusal {
  const char* name;
  std::vector<std::string> args;
  enum { UnixSocket, Pipe, Nothing } fd3;
};

class IcmpSocketRefusalTest : public testing::TestWithParam<Refusal> {};

INSTANTIATE_TEST_SUITE_P(AnyOtherWay, IcmpSocketRefusalTest,
                         testing::Values(Refusal{"NoArguments", {}, Refusal::UnixSocket},
                                         Refusal{"TwoArguments", {"1", "2"}, Refusal::UnixSocket},
                                         Refusal{"NotANumber", {"one"}, Refusal::UnixSocket},
                                         Refusal{"Negative", {"-1"}, Refusal::UnixSocket},
                                         Refusal{"Beyond16Bits", {"65536"}, Refusal::UnixSocket},
                                         Refusal{"TrailingText", {"12x"}, Refusal::UnixSocket},
                                         Refusal{"AnOption", {"--help"}, Refusal::UnixSocket},
                                         Refusal{"NoDescriptor3", {"7"}, Refusal::Nothing},
                                         Refusal{"PipeOnDescriptor3", {"7"}, Refusal::Pipe}),
                         [](const testing::TestParamInfo<Refusal>& refusal) {
                           return std::string(refusal.param.name);
                         });

TEST_P(IcmpSocketRefusalTest, OneLineNonZeroStatusAndNothingSent) {
  SocketPair pair;
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  std::optional<int> fd3;
  if (GetParam().fd3 == Refusal::UnixSocket) fd3 = pair.helper();
  if (GetParam().fd3 == Refusal::Pipe) fd3 = pipeEnds[1];
  HelperRun run(GetParam().args, fd3);
  const Ended ended = run.wait();
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  EXPECT_EQ(ended.status, 2);
  EXPECT_THAT(ended.stderrText, testing::StartsWith("korvel-icmp-socket: "));
  EXPECT_THAT(ended.stderrText, testing::EndsWith("\n"));
  EXPECT_EQ(std::count(ended.stderrText.begin(), ended.stderrText.end(), '\n'), 1);
  char byte;
  EXPECT_EQ(::recv(pair.program(), &byte, 1, MSG_DONTWAIT), -1);
}

bool privileged() { return ::geteuid() == 0; }

std::map<std::string, std::string> statusFields(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  std::map<std::string, std::string> fields;
  for (std::string line; std::getline(file, line);) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::istringstream value(line.substr(colon + 1));
    value >> fields[line.substr(0, colon)];
  }
  return fields;
}

constexpr long kRunning = -1;

// The system call a process waits in, from /proc/PID/syscall; nothing once it has ended.
std::optional<long> blockedIn(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/syscall");
  std::string first;
  if (!(file >> first)) return std::nullopt;
  return first == "running" ? kRunning : std::stol(first);
}

int optionOf(int fd, int level, int name) {
  int value = -1;
  socklen_t size = sizeof value;
  return ::getsockopt(fd, level, name, &value, &size) == 0 ? value : -1;
}

TEST(IcmpSocketHandOverTest, SocketArrivesFilteredAndLockedAndTheHelperHasEnded) {
  if (!privileged()) GTEST_SKIP() << "the helper needs cap_net_raw: run as root";
  const HelperSocket handed = icmpSocketFromHelper(kHelper, 0x1234);
  ASSERT_GE(handed.fd, 0) << std::strerror(handed.error);
  EXPECT_EQ(optionOf(handed.fd, SOL_SOCKET, SO_TYPE), SOCK_RAW);
  EXPECT_EQ(optionOf(handed.fd, SOL_SOCKET, SO_PROTOCOL), IPPROTO_ICMP);
  EXPECT_EQ(optionOf(handed.fd, SOL_SOCKET, SO_LOCK_FILTER), 1);
  icmp_filter types{};
  socklen_t size = sizeof types;
  ASSERT_EQ(::getsockopt(handed.fd, SOL_RAW, ICMP_FILTER, &types, &size), 0);
  EXPECT_EQ(types.data, ~(1U << ICMP_ECHOREPLY));
  // Whoever holds the socket cannot take the filter away nor put a wider one in its place.
  const int any = 0;
  EXPECT_EQ(::setsockopt(handed.fd, SOL_SOCKET, SO_DETACH_FILTER, &any, sizeof any), -1);
  EXPECT_EQ(errno, EPERM);
  sock_filter passAll = BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF);
  const sock_fprog wider{1, &passAll};
  EXPECT_EQ(::setsockopt(handed.fd, SOL_SOCKET, SO_ATTACH_FILTER, &wider, sizeof wider), -1);
  ::close(handed.fd);
  // No helper is left behind, not even as a zombie.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(IcmpSocketHandOverTest, EveryCapabilityIsGoneBeforeTheSocketGoesOut) {
  if (!privileged()) GTEST_SKIP() << "reads the helper's /proc/PID/syscall: run as root";
  SocketPair pair;
  // Fill the helper's end to the brim, so that its hand-over blocks until we read.
  ASSERT_EQ(::fcntl(pair.helper(), F_SETFL, O_NONBLOCK), 0);
  const std::vector<char> filler(4096, 'x');
  while (::send(pair.helper(), filler.data(), filler.size(), MSG_DONTWAIT) > 0) {
  }
  ASSERT_EQ(::fcntl(pair.helper(), F_SETFL, 0), 0);

  HelperRun run({"77"}, pair.helper());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::optional<long> call;
  while ((call = blockedIn(run.pid())) != SYS_sendmsg && call &&
         std::chrono::steady_clock::now() < deadline) {
    ::sched_yield();
  }
  ASSERT_EQ(call, SYS_sendmsg) << "the helper never waited in its hand-over";
  auto fields = statusFields(run.pid());
  for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapAmb"}) {
    EXPECT_EQ(fields[set], "0000000000000000") << set;
  }
  EXPECT_EQ(fields["NoNewPrivs"], "1");

  // Our records come first; the helper's status with the socket last.
  for (;;) {
    std::vector<char> record(filler.size());
    iovec part{record.data(), record.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t size = ::recvmsg(pair.program(), &message, MSG_CMSG_CLOEXEC);
    ASSERT_GT(size, 0);
    if (message.msg_controllen == 0) continue;
    ASSERT_EQ(size, 4);
    std::int32_t status = -1;
    std::memcpy(&status, record.data(), sizeof status);
    EXPECT_EQ(status, 0);
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(CMSG_FIRSTHDR(&message)), sizeof fd);
    EXPECT_EQ(optionOf(fd, SOL_SOCKET, SO_TYPE), SOCK_RAW);
    ::close(fd);
    break;
  }
  EXPECT_EQ(run.wait().status, 0);
}

}  // namespace
}  // namespace korvel
