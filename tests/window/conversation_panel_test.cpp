// The conversation's writes as the window's thread receives them: in order, with the writes that
// follow every record joined while the window has not caught up.
#include "window/conversation_panel.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <utility>

#include "support/recording_panel.h"

namespace korvel::test {
namespace {

class ConversationPanelTest : public ::testing::Test {
 protected:
  // Runs what was posted, as the window's thread would once it gets to its queue.
  void catchUp() {
    while (!queue.empty()) {
      auto call = std::move(queue.front());
      queue.pop_front();
      call();
    }
  }

  RecordingPanel window;
  std::deque<std::function<void()>> queue;
  ConversationPanel panel{window,
                          [this](std::function<void()> call) { queue.push_back(std::move(call)); }};
};

TEST_F(ConversationPanelTest, PerRecordWritesJoinWhileTheWindowIsBehind) {
  for (int position = 1; position <= 500; ++position) {
    panel.restoreWaitCursor();
    panel.setProgressPosition(position);
  }
  EXPECT_EQ(queue.size(), 1u);
  catchUp();
  EXPECT_EQ(window.positions, (std::vector<std::int64_t>{500}));
  EXPECT_EQ(window.cursorReassertions, 1);
}

TEST_F(ConversationPanelTest, AnyOtherWriteKeepsItsPlaceBetweenPositions) {
  panel.setProgressPosition(7);
  panel.setProgressRange(0, 100);
  panel.setProgressPosition(3);
  panel.setInfoText("готово");
  panel.setProgressPosition(0);
  EXPECT_EQ(queue.size(), 5u);
  std::vector<std::int64_t> rangeAtPosition;
  while (!queue.empty()) {
    auto call = std::move(queue.front());
    queue.pop_front();
    call();
    rangeAtPosition.push_back(window.rangeUpper);
  }
  EXPECT_EQ(window.positions, (std::vector<std::int64_t>{7, 3, 0}));
  EXPECT_EQ(rangeAtPosition, (std::vector<std::int64_t>{-1, 100, 100, 100, 100}));
  EXPECT_EQ(window.info, "готово");
}

TEST_F(ConversationPanelTest, APositionAfterTheWindowCaughtUpIsPostedAgain) {
  panel.setProgressPosition(1);
  catchUp();
  panel.setProgressPosition(2);
  ASSERT_EQ(queue.size(), 1u);
  catchUp();
  EXPECT_EQ(window.positions, (std::vector<std::int64_t>{1, 2}));
}

}  // namespace
}  // namespace korvel::test
