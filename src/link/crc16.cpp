#include "link/crc16.h"

#include <array>
#include <cstddef>

namespace korvel {
namespace {

constexpr std::uint16_t kPolynomial = 0x1021;

// Bytes taken per step. Every step looks up each of its bytes in a table of its own, so the
// lookups do not wait for one another and a 1 KiB frame is checked at memory speed.
constexpr std::size_t kStride = 16;

// byteTable[k][b]: the register that byte b followed by k zero bytes leaves behind, starting
// from a zero register. byteTable[0] is the classic table of one byte's eight shifts.
struct ByteTables {
  std::array<std::array<std::uint16_t, 256>, kStride> byteTable{};

  constexpr ByteTables() {
    for (unsigned b = 0; b < 256; ++b) {
      auto reg = static_cast<std::uint16_t>(b << 8);
      for (int bit = 0; bit < 8; ++bit) {
        reg = static_cast<std::uint16_t>((reg & 0x8000) != 0 ? (reg << 1) ^ kPolynomial : reg << 1);
      }
      byteTable[0][b] = reg;
    }
    for (std::size_t k = 1; k < kStride; ++k) {
      for (unsigned b = 0; b < 256; ++b) {
        const std::uint16_t before = byteTable[k - 1][b];
        byteTable[k][b] = static_cast<std::uint16_t>((before << 8) ^ byteTable[0][before >> 8]);
      }
    }
  }
};

constexpr ByteTables kTables;

// The register enters the checksum as if it were XORed into the first two bytes of the step;
// each byte then contributes what it leaves behind after the bytes that follow it in the step.
std::uint16_t feedStride(std::uint16_t reg, const std::uint8_t* data) {
  const auto& table = kTables.byteTable;
  unsigned next =
      table[kStride - 1][data[0] ^ (reg >> 8)] ^ table[kStride - 2][data[1] ^ (reg & 0xFF)];
  for (std::size_t i = 2; i < kStride; ++i) next ^= table[kStride - 1 - i][data[i]];
  return static_cast<std::uint16_t>(next);
}

std::uint16_t feedByte(std::uint16_t reg, std::uint8_t byte) {
  return static_cast<std::uint16_t>((reg << 8) ^ kTables.byteTable[0][(reg >> 8) ^ byte]);
}

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::int32_t length) {
  std::uint16_t reg = 0xFFFF;
  if (length <= 0) return reg;
  auto left = static_cast<std::size_t>(length);
  for (; left >= kStride; left -= kStride, data += kStride) reg = feedStride(reg, data);
  for (; left > 0; --left, ++data) reg = feedByte(reg, *data);
  return reg;
}

}  // namespace korvel
