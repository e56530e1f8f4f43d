#include <gtest/gtest.h>
#include <sys/stat.h>

#include "image/firmware_image.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

TEST(FirmwareImagePosixTest, RefusesFifosAndDevices) {
  test::TempDir dir;
  const auto fifo = dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(FirmwareImage::open(fifo));  // must not block either
  EXPECT_FALSE(FirmwareImage::open("/dev/zero"));
}

}  // namespace
}  // namespace korvel
