#include <share.h>
#include <stdio.h>

#include <gtest/gtest.h>

#include <fstream>

#include "common/utf8.h"
#include "device_model/image_builder.h"
#include "image/firmware_image.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

class FirmwareImageWindowsTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  Bytes bytes = ImageBuilder().name("PULT").version(1, 2).bytes();
};

TEST_F(FirmwareImageWindowsTest, RefusesDevices) {
  EXPECT_FALSE(FirmwareImage::open("NUL"));
  EXPECT_FALSE(FirmwareImage::open("CON"));
}

TEST_F(FirmwareImageWindowsTest, OpensANameOutsideTheAnsiCodePage) {
  const auto path = dir.path() / pathFromUtf8("прошивка №2 ☃.qlxfw");
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  auto image = FirmwareImage::open(path);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), bytes.size());
}

TEST_F(FirmwareImageWindowsTest, NobodyWritesTheImageWhileItIsRead) {
  const auto path = dir.write("image.qlxfw", bytes);
  {
    auto image = FirmwareImage::open(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(::_wfsopen(path.c_str(), L"ab", _SH_DENYNO), nullptr);
    FILE* reader = ::_wfsopen(path.c_str(), L"rb", _SH_DENYNO);
    EXPECT_NE(reader, nullptr);
    if (reader) std::fclose(reader);
  }
  FILE* writer = ::_wfsopen(path.c_str(), L"ab", _SH_DENYNO);
  EXPECT_NE(writer, nullptr);
  if (writer) std::fclose(writer);
}

}  // namespace
}  // namespace korvel
