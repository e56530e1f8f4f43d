#include "image/stream_digest.h"

#include <algorithm>

namespace korvel {
namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;

std::uint64_t mix(std::uint64_t state, std::uint64_t word) {
  state = (state ^ word) * kMultiplier;
  return state ^ (state >> 29);
}

std::uint64_t finish(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDULL;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ULL;
  x ^= x >> 33;
  return x;
}

// Little-endian whatever the machine, so that a digest means the same bytes everywhere.
std::uint64_t wordAt(const std::uint8_t* bytes) {
  std::uint64_t word = 0;
  for (unsigned b = 0; b < 8; ++b) word |= static_cast<std::uint64_t>(bytes[b]) << (8 * b);
  return word;
}

}  // namespace

void StreamDigest::mixBlock(const std::uint8_t* block) {
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    lanes_[lane] = mix(lanes_[lane], wordAt(block + 8 * lane));
  }
}

void StreamDigest::add(ByteView bytes) {
  length_ += bytes.size();
  const std::uint8_t* next = bytes.data();
  std::size_t left = bytes.size();
  if (pendingBytes_ != 0) {
    const std::size_t taken = std::min(left, kBlock - pendingBytes_);
    std::copy_n(next, taken, pending_.begin() + static_cast<std::ptrdiff_t>(pendingBytes_));
    pendingBytes_ += taken;
    next += taken;
    left -= taken;
    if (pendingBytes_ < kBlock) return;
    mixBlock(pending_.data());
    pendingBytes_ = 0;
  }
  for (; left >= kBlock; next += kBlock, left -= kBlock) mixBlock(next);
  std::copy_n(next, left, pending_.begin());
  pendingBytes_ = left;
}

std::uint64_t StreamDigest::value() const {
  std::array<std::uint8_t, kBlock> tail{};
  std::copy_n(pending_.begin(), pendingBytes_, tail.begin());
  std::uint64_t state = length_ * 0xD6E8FEB86659FD93ULL;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    state = mix(state, mix(lanes_[lane], wordAt(tail.data() + 8 * lane)));
  }
  return finish(state);
}

}  // namespace korvel
