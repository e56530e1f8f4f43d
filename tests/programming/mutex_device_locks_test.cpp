#include "programming/mutex_device_locks.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

namespace korvel {
namespace {

constexpr Ipv4Address kDevice{127, 0, 0, 2};
constexpr Ipv4Address kOtherDevice{127, 0, 0, 3};

// A name of this test's own, so that a Korvel running alongside is never in the way.
std::wstring testPrefix() {
  return L"Local\\KorvelTest." + std::to_wstring(::GetCurrentProcessId()) + L".";
}

// A mutex belongs to a thread, and its owner may take it again; another copy of the program is
// another thread here.
DeviceLocks::Result takeOnAnotherThread(MutexDeviceLocks& locks, Ipv4Address address) {
  DeviceLocks::Result result = DeviceLocks::Result::Unavailable;
  std::thread([&] {
    std::unique_ptr<DeviceLock> lock;
    result = locks.take({address}, lock);
  }).join();
  return result;
}

TEST(MutexDeviceLocksTest, OneHolderPerDeviceUntilItLetsGo) {
  MutexDeviceLocks locks(testPrefix());
  std::unique_ptr<DeviceLock> held;
  ASSERT_EQ(locks.take({kDevice}, held), DeviceLocks::Result::Taken);
  EXPECT_EQ(takeOnAnotherThread(locks, kDevice), DeviceLocks::Result::Busy);
  EXPECT_EQ(takeOnAnotherThread(locks, kOtherDevice), DeviceLocks::Result::Taken);
  held.reset();
  EXPECT_EQ(takeOnAnotherThread(locks, kDevice), DeviceLocks::Result::Taken);
}

TEST(MutexDeviceLocksTest, ALockWhoseHolderEndedIsTakenOver) {
  MutexDeviceLocks locks(testPrefix());
  // The thread ends holding the mutex: the system hands it on as abandoned.
  HANDLE mutex = nullptr;
  std::thread([&] {
    mutex = ::CreateMutexW(nullptr, TRUE, (testPrefix() + L"127.0.0.2").c_str());
  }).join();
  ASSERT_NE(mutex, nullptr);
  std::unique_ptr<DeviceLock> held;
  EXPECT_EQ(locks.take({kDevice}, held), DeviceLocks::Result::Taken);
  held.reset();
  ::CloseHandle(mutex);
}

}  // namespace
}  // namespace korvel
