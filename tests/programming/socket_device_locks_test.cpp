#include "programming/socket_device_locks.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace korvel {
namespace {

constexpr Ipv4Address kDevice{127, 0, 0, 2};
constexpr Ipv4Address kOtherDevice{127, 0, 0, 3};

class SocketDeviceLocksTest : public ::testing::Test {
 protected:
  // Names of this test process's own, so that parallel tests and a real run do not meet.
  SocketDeviceLocks locks{"korvel-test/" + std::to_string(::getpid()) + "/"};
};

TEST_F(SocketDeviceLocksTest, OneHolderPerDeviceAndInterfaceUntilItLetsGo) {
  std::unique_ptr<DeviceLock> first;
  ASSERT_EQ(locks.take({kDevice}, first), DeviceLocks::Result::Taken);

  std::unique_ptr<DeviceLock> second;
  EXPECT_EQ(locks.take({kDevice}, second), DeviceLocks::Result::Busy);
  EXPECT_FALSE(second);
  std::unique_ptr<DeviceLock> other;
  EXPECT_EQ(locks.take({kOtherDevice}, other), DeviceLocks::Result::Taken);
  std::unique_ptr<DeviceLock> otherInterface;
  EXPECT_EQ(locks.take({kDevice, "veth1"}, otherInterface), DeviceLocks::Result::Taken);
  EXPECT_EQ(locks.take({kDevice, "veth1"}, second), DeviceLocks::Result::Busy);

  first.reset();
  EXPECT_EQ(locks.take({kDevice}, second), DeviceLocks::Result::Taken);
}

TEST_F(SocketDeviceLocksTest, ALockOfAProcessThatDiedIsFreeAtOnce) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<DeviceLock> held;
    const char byte = locks.take({kDevice}, held) == DeviceLocks::Result::Taken ? 'y' : 'n';
    static_cast<void>(::write(ready[1], &byte, 1));
    ::pause();  // killed while it holds the lock
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'y');
  std::unique_ptr<DeviceLock> lock;
  EXPECT_EQ(locks.take({kDevice}, lock), DeviceLocks::Result::Busy);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(locks.take({kDevice}, lock), DeviceLocks::Result::Taken);
}

TEST_F(SocketDeviceLocksTest, ANameThatCannotBeMadeIsNoLockAndNoRefusal) {
  std::unique_ptr<DeviceLock> lock;
  EXPECT_EQ(locks.take({kDevice, std::string(200, 'i')}, lock), DeviceLocks::Result::Unavailable);
  EXPECT_EQ(locks.take({kDevice, std::string("a\0b", 3)}, lock), DeviceLocks::Result::Unavailable);
  EXPECT_FALSE(lock);
  EXPECT_EQ(SocketDeviceLocks().socketName({kDevice, "eth0"}), "korvel/device/127.0.0.2%eth0");
}

}  // namespace
}  // namespace korvel
