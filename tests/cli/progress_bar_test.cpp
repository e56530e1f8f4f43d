#include "cli/output/progress_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace korvel {
namespace {

using namespace std::chrono_literals;

class ProgressBarTest : public ::testing::Test {
 protected:
  std::size_t draws() const {
    const std::string text = out.str();
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r'));
  }
  // The text of the last line drawn, without the cursor controls around it.
  std::string lastLine() const {
    const std::string text = out.str();
    const auto start = text.rfind('\r') + 1;
    return text.substr(start, text.find("\x1b[K", start) - start);
  }

  std::ostringstream out;
  std::chrono::steady_clock::time_point now{};
  ProgressBar bar{out, [this] { return now; }};
};

TEST_F(ProgressBarTest, ShowsPercentBytesAndRate) {
  bar.begin(0, 4000, ProgressBar::Kind::Transfer);
  now += 2s;
  bar.moveTo(2000);
  EXPECT_EQ(lastLine(), "[" + std::string(15, '#') + std::string(15, '.') +
                            "]  50%  2000/4000 bytes  1000 B/s");
  now += 1s;
  bar.moveTo(3072 + 1536);  // past the upper bound: shown as full
  EXPECT_EQ(lastLine(), "[" + std::string(30, '#') + "] 100%  4000/4000 bytes  1.3 KiB/s");
}

TEST_F(ProgressBarTest, RateShowsOnlyAfterTheFirstSecond) {
  bar.begin(0, 4000, ProgressBar::Kind::Transfer);
  now += 10ms;
  bar.moveTo(6);
  EXPECT_TRUE(lastLine().ends_with("6/4000 bytes")) << lastLine();
  now += 990ms;
  bar.moveTo(2000);
  EXPECT_TRUE(lastLine().ends_with("2000/4000 bytes  2.0 KiB/s")) << lastLine();
}

TEST_F(ProgressBarTest, CountsFromTheLowerBound) {
  bar.begin(1000, 2000, ProgressBar::Kind::Transfer);
  now += 1s;
  bar.moveTo(1250);
  EXPECT_EQ(lastLine(),
            "[" + std::string(7, '#') + std::string(23, '.') + "]  25%  250/1000 bytes  250 B/s");
}

TEST_F(ProgressBarTest, RedrawsAtMostTenTimesASecondButAlwaysAtTheEnd) {
  bar.begin(0, 1000, ProgressBar::Kind::Transfer);
  bar.moveTo(100);
  EXPECT_EQ(draws(), 1u);
  now += 50ms;
  bar.moveTo(200);
  now += 49ms;
  bar.moveTo(300);
  EXPECT_EQ(draws(), 1u);
  now += 1ms;
  bar.moveTo(400);
  EXPECT_EQ(draws(), 2u);
  now += 1ms;
  bar.moveTo(1000);
  EXPECT_EQ(draws(), 3u);
  bar.end();
  EXPECT_EQ(draws(), 3u);
  EXPECT_EQ(out.str().back(), '\n');
}

TEST_F(ProgressBarTest, EndingShowsThePositionAThrottledDrawSkipped) {
  bar.begin(0, 1000, ProgressBar::Kind::Transfer);
  bar.moveTo(100);
  now += 10ms;
  bar.moveTo(600);
  bar.end();
  EXPECT_EQ(draws(), 2u);
  EXPECT_NE(out.str().find("600/1000 bytes"), std::string::npos);
  EXPECT_EQ(out.str().back(), '\n');
  bar.end();  // a second end adds nothing
  bar.moveTo(700);
  EXPECT_EQ(draws(), 2u);
}

TEST_F(ProgressBarTest, AttemptsShowOnlyOnceOneFailedAndLeaveNoLine) {
  bar.begin(0, 10, ProgressBar::Kind::Attempts);
  bar.moveTo(0);
  EXPECT_EQ(out.str(), "");
  bar.moveTo(1);
  EXPECT_EQ(lastLine(), "[" + std::string(3, '#') + std::string(27, '.') + "]  10%  1/10 attempts");
  bar.end();
  EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\x1b[K");
}

TEST_F(ProgressBarTest, NothingDrawnNothingToEnd) {
  bar.begin(0, 0, ProgressBar::Kind::Transfer);
  bar.end();
  bar.begin(0, 10, ProgressBar::Kind::Attempts);
  bar.moveTo(0);
  bar.end();
  EXPECT_EQ(out.str(), "");
}

TEST_F(ProgressBarTest, ANewRangeEndsTheLineBefore) {
  bar.begin(0, 100, ProgressBar::Kind::Transfer);
  bar.moveTo(40);
  bar.begin(0, 200, ProgressBar::Kind::Transfer);
  EXPECT_EQ(out.str().back(), '\n');
  EXPECT_TRUE(bar.active());
}

}  // namespace
}  // namespace korvel
