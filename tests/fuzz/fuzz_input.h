#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace korvel::fuzz {

// Reads a fuzzer's input front to back; once it runs dry every read gives zeros, so that a
// target never has to ask how much is left.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return position_ >= size_; }
  std::size_t remaining() const { return empty() ? 0 : size_ - position_; }

  std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }

  std::uint16_t le16() {
    const std::uint8_t low = byte();
    return static_cast<std::uint16_t>(low | (byte() << 8));
  }

  // Up to `count` bytes, fewer when the input ends.
  ByteView bytes(std::size_t count) {
    const std::size_t taken = std::min(count, remaining());
    const ByteView view(data_ + position_, taken);
    position_ += taken;
    return view;
  }

  ByteView rest() { return bytes(remaining()); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

}  // namespace korvel::fuzz
