#pragma once

#include <mutex>
#include <ostream>
#include <string_view>

namespace korvel {

// One stream that several device threads write to: each write lands whole, never between the
// characters of another thread's line.
class SharedLines {
 public:
  explicit SharedLines(std::ostream& out) : out_(out) {}

  SharedLines(const SharedLines&) = delete;
  SharedLines& operator=(const SharedLines&) = delete;

  // `lines` ends with "\n"; it is written and flushed as one piece.
  void write(std::string_view lines);

 private:
  std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace korvel
