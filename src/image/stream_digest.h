#pragma once

#include <cstdint>

#include "common/bytes.h"

namespace korvel {

// A 64-bit digest of a byte stream, fed in pieces of any size: the same bytes give the same value
// however they were split. It tells an image file that changed from the one that was checked; it
// is quick enough to keep up with the disk, and is no defence against someone who crafts a
// collision (who can write the file can write any image anyway).
class StreamDigest {
 public:
  void add(std::uint8_t byte);
  void add(ByteView bytes);
  std::uint64_t value() const;
  std::uint64_t length() const { return length_; }

 private:
  void mix(std::uint64_t word);

  std::uint64_t state_ = 0x6A09E667F3BCC909ULL;
  std::uint64_t pending_ = 0;  // up to seven bytes that do not make a word yet
  unsigned pendingBytes_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace korvel
