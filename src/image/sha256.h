#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "common/bytes.h"

namespace korvel {

// SHA-256, fed in pieces of any size. The run log names each image by it, so that a device's
// firmware can be traced back to the very file.
class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();
  void update(ByteView data);
  // The digest of everything fed so far; the object is spent afterwards.
  Digest finish();

 private:
  void compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> block_{};
  std::size_t blockUsed_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// Lower-case hexadecimal, 64 characters.
std::string toHex(const Sha256::Digest& digest);

// The digest of a whole regular file; nothing when it cannot be opened or read.
std::optional<Sha256::Digest> sha256OfFile(const std::filesystem::path& path);

}  // namespace korvel
