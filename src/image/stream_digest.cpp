#include "image/stream_digest.h"

namespace korvel {
namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;

std::uint64_t finish(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDULL;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ULL;
  x ^= x >> 33;
  return x;
}

}  // namespace

void StreamDigest::mix(std::uint64_t word) {
  state_ = (state_ ^ word) * kMultiplier;
  state_ ^= state_ >> 29;
}

void StreamDigest::add(std::uint8_t byte) {
  pending_ |= static_cast<std::uint64_t>(byte) << (8 * pendingBytes_);
  ++length_;
  if (++pendingBytes_ == 8) {
    mix(pending_);
    pending_ = 0;
    pendingBytes_ = 0;
  }
}

void StreamDigest::add(ByteView bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && pendingBytes_ != 0) add(bytes[i++]);
  const std::size_t words = (bytes.size() - i) / 8;
  for (std::size_t w = 0; w < words; ++w, i += 8) {
    std::uint64_t word = 0;
    for (unsigned b = 0; b < 8; ++b) word |= static_cast<std::uint64_t>(bytes[i + b]) << (8 * b);
    mix(word);
  }
  length_ += 8 * words;
  while (i < bytes.size()) add(bytes[i++]);
}

std::uint64_t StreamDigest::value() const {
  std::uint64_t state = state_;
  state = (state ^ pending_) * kMultiplier;
  state ^= length_ * 0xD6E8FEB86659FD93ULL;
  return finish(state);
}

}  // namespace korvel
