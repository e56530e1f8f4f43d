#pragma once

#include <array>
#include <cstdint>

#include "common/bytes.h"

namespace korvel {

// A 64-bit digest of a byte stream, fed in pieces of any size: the same bytes give the same value
// however they were split. It tells an image file that changed from the one that was checked; it
// is quick enough to keep up with the disk, and is no defence against someone who crafts a
// collision (who can write the file can write any image anyway).
class StreamDigest {
 public:
  void add(std::uint8_t byte) { add(ByteView(&byte, 1)); }
  void add(ByteView bytes);
  std::uint64_t value() const;
  std::uint64_t length() const { return length_; }

 private:
  // Four words a step, each into a lane of its own: the lanes' multiplications do not wait for
  // one another, which makes the digest several times faster than one chain.
  static constexpr std::size_t kLanes = 4;
  static constexpr std::size_t kBlock = 8 * kLanes;

  void mixBlock(const std::uint8_t* block);

  std::array<std::uint64_t, kLanes> lanes_{0x6A09E667F3BCC909ULL, 0xBB67AE8584CAA73BULL,
                                           0x3C6EF372FE94F82BULL, 0xA54FF53A5F1D36F1ULL};
  std::array<std::uint8_t, kBlock> pending_{};  // bytes that do not make a whole block yet
  std::size_t pendingBytes_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace korvel
