#include <gtest/gtest.h>

#include "ui/dialog_units.h"

namespace korvel::test {
namespace {

// The base units of the classic 8-point dialog font: 6 pixels across, 13 down.
TEST(DialogUnits, MapsTheTemplateLikeWindowsDoes) {
  const DialogUnits units(6, 13);
  EXPECT_EQ(units.size(280, 132), QSize(420, 215));  // 214.5 rounds up, as MulDiv does
  EXPECT_EQ(units.rect(240, 114, 36, 12), QRect(360, 185, 54, 20));
}

TEST(DialogUnits, NeighboursNeverGapOrOverlap) {
  // 60 + 126 ends where a control at 186 would start, whatever the rounding of each part.
  const DialogUnits units(7, 15);
  const QRect ipField = units.rect(60, 96, 126, 12);
  const QRect next = units.rect(186, 96, 6, 12);
  EXPECT_EQ(ipField.x() + ipField.width(), next.x());
  const QRect progress = units.rect(6, 84, 270, 6);
  const QRect below = units.rect(6, 90, 10, 6);
  EXPECT_EQ(progress.y() + progress.height(), below.y());
}

}  // namespace
}  // namespace korvel::test
