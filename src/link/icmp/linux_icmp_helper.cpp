#include "link/icmp/linux_icmp_helper.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "link/icmp/owned_fd.h"

namespace korvel {

namespace {

constexpr int kHelperSideFd = 3;

int optionOf(int fd, int name) {
  int value = -1;
  socklen_t size = sizeof value;
  return ::getsockopt(fd, SOL_SOCKET, name, &value, &size) == 0 ? value : -1;
}

bool isRawIcmpSocket(int fd) {
  return optionOf(fd, SO_DOMAIN) == AF_INET && optionOf(fd, SO_TYPE) == SOCK_RAW &&
         optionOf(fd, SO_PROTOCOL) == IPPROTO_ICMP;
}

// With an empty environment, its standard output and error on /dev/null: whatever it would say,
// the status it sends says for the program.
int spawnHelper(const std::string& helperPath, std::uint16_t identifier, int helperSide,
                pid_t& pid) {
  posix_spawn_file_actions_t actions;
  if (const int error = ::posix_spawn_file_actions_init(&actions); error != 0) return error;
  std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)> owned(
      &actions, ::posix_spawn_file_actions_destroy);
  int error = ::posix_spawn_file_actions_adddup2(&actions, helperSide, kHelperSideFd);
  if (error == 0) {
    error = ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (error == 0) {
    error = ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (error != 0) return error;
  std::string identifierText = std::to_string(identifier);
  std::string program = helperPath;
  char* argv[] = {program.data(), identifierText.data(), nullptr};
  char* noEnvironment[] = {nullptr};
  return ::posix_spawn(&pid, helperPath.c_str(), &actions, nullptr, argv, noEnvironment);
}

// The helper's one message: its status, and the socket when the status is 0.
HelperSocket receiveSocket(int programSide) {
  std::int32_t status = 0;
  iovec part{&status, sizeof status};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t size = 0;
  do {
    size = ::recvmsg(programSide, &message, MSG_CMSG_CLOEXEC);
  } while (size < 0 && errno == EINTR);
  if (size < 0) return {-1, errno};
  OwnedFd handed;
  for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr;
       item = CMSG_NXTHDR(&message, item)) {
    if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_RIGHTS &&
        item->cmsg_len == CMSG_LEN(sizeof(int)) && handed.get() < 0) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(item), sizeof fd);
      handed.reset(fd);
    }
  }
  // A helper that ended without a word, or one that said yes without a socket, hands nothing.
  if (size != sizeof status) return {-1, EPROTO};
  if (status != 0) return {-1, status};
  if ((message.msg_flags & MSG_CTRUNC) != 0 || !isRawIcmpSocket(handed.get())) return {-1, EPROTO};
  return {handed.release(), 0};
}

int waitFor(pid_t pid) {
  int status = 0;
  pid_t ended = 0;
  do {
    ended = ::waitpid(pid, &status, 0);
  } while (ended < 0 && errno == EINTR);
  return ended == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

HelperSocket icmpSocketFromHelper(const std::string& helperPath, std::uint16_t identifier) {
  int sides[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sides) != 0) return {-1, errno};
  OwnedFd programSide(sides[0]);
  // Above 3, so that the dup2 to 3 in the helper always clears close-on-exec.
  OwnedFd helperSide(::fcntl(sides[1], F_DUPFD_CLOEXEC, kHelperSideFd + 1));
  ::close(sides[1]);
  if (helperSide.get() < 0) return {-1, errno};

  pid_t pid = 0;
  if (const int error = spawnHelper(helperPath, identifier, helperSide.get(), pid); error != 0) {
    return {-1, error};
  }
  helperSide.reset();  // else the helper's end outlives it and a silent helper is never noticed
  HelperSocket handed = receiveSocket(programSide.get());
  if (waitFor(pid) != 0 && handed.fd >= 0) {
    ::close(handed.fd);
    return {-1, EPROTO};
  }
  return handed;
}

std::string installedIcmpHelperPath() {
  std::array<char, PATH_MAX> executable{};
  const ssize_t size = ::readlink("/proc/self/exe", executable.data(), executable.size() - 1);
  if (size <= 0) return {};
  std::string path(executable.data(), static_cast<std::size_t>(size));
  path = path.substr(0, path.rfind('/') + 1) + KORVEL_ICMP_HELPER_FROM_BINDIR;
  std::array<char, PATH_MAX> real{};
  if (::realpath(path.c_str(), real.data()) == nullptr) return {};
  return real.data();
}

}  // namespace korvel
