#include "programming/file_device_locks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "support/temp_file.h"

namespace korvel {
namespace {

constexpr Ipv4Address kDevice{127, 0, 0, 2};
constexpr Ipv4Address kOtherDevice{127, 0, 0, 3};

class FileDeviceLocksTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  FileDeviceLocks locks{dir.path()};
};

TEST_F(FileDeviceLocksTest, OneHolderPerDeviceUntilItLetsGo) {
  std::unique_ptr<DeviceLock> first;
  ASSERT_EQ(locks.take(kDevice, first), DeviceLocks::Result::Taken);
  EXPECT_EQ(locks.lockFile(kDevice), dir.path() / "device-127.0.0.2.lock");

  std::unique_ptr<DeviceLock> second;
  EXPECT_EQ(locks.take(kDevice, second), DeviceLocks::Result::Busy);
  EXPECT_FALSE(second);
  std::unique_ptr<DeviceLock> other;
  EXPECT_EQ(locks.take(kOtherDevice, other), DeviceLocks::Result::Taken);

  first.reset();
  EXPECT_EQ(locks.take(kDevice, second), DeviceLocks::Result::Taken);
}

TEST_F(FileDeviceLocksTest, ALockLeftByAProcessThatDiedIsTakenOver) {
  // A file left behind by a run that ended without cleaning up holds no lock.
  std::ofstream(locks.lockFile(kDevice)) << "";
  std::unique_ptr<DeviceLock> lock;
  EXPECT_EQ(locks.take(kDevice, lock), DeviceLocks::Result::Taken);
  lock.reset();

  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<DeviceLock> held;
    const bool taken = locks.take(kDevice, held) == DeviceLocks::Result::Taken;
    const char byte = taken ? 'y' : 'n';
    static_cast<void>(::write(ready[1], &byte, 1));
    ::pause();  // killed while it holds the lock
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'y');
  EXPECT_EQ(locks.take(kDevice, lock), DeviceLocks::Result::Busy);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(locks.take(kDevice, lock), DeviceLocks::Result::Taken);
}

TEST_F(FileDeviceLocksTest, NoFolderMeansNoLockAndNoRefusal) {
  FileDeviceLocks none{std::filesystem::path()};
  std::unique_ptr<DeviceLock> lock;
  EXPECT_EQ(none.take(kDevice, lock), DeviceLocks::Result::Unavailable);
  FileDeviceLocks missing{dir.path() / "gone" / "deeper"};
  EXPECT_EQ(missing.take(kDevice, lock), DeviceLocks::Result::Unavailable);
}

TEST_F(FileDeviceLocksTest, TheFolderIsTheUsersRuntimeFolderOrAPrivateOneInTemp) {
  const auto runtime = dir.path() / "run";
  std::filesystem::create_directory(runtime);
  EXPECT_EQ(deviceLockFolder(runtime.c_str(), dir.path()), runtime / "korvel");
  EXPECT_TRUE(std::filesystem::is_directory(runtime / "korvel"));

  const auto fallback = dir.path() / ("korvel-" + std::to_string(::geteuid()));
  EXPECT_EQ(deviceLockFolder(nullptr, dir.path()), fallback);
  EXPECT_EQ(deviceLockFolder("relative/run", dir.path()), fallback);
  struct stat info {};
  ASSERT_EQ(::stat(fallback.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // Someone else's folder, or one that others may write, is not used.
  ::chmod(fallback.c_str(), 0777);
  EXPECT_EQ(deviceLockFolder(nullptr, dir.path()), std::nullopt);
  std::filesystem::remove(fallback);
  std::filesystem::create_directory_symlink(runtime, fallback);
  EXPECT_EQ(deviceLockFolder(nullptr, dir.path()), std::nullopt);
}

}  // namespace
}  // namespace korvel
