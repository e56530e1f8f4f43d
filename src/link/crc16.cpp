#include "link/crc16.h"

#include <array>
#include <cstddef>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KORVEL_CRC16_CLMUL 1
#include <immintrin.h>
#endif

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

std::uint16_t feedBytes(std::uint16_t reg, const std::uint8_t* data, std::size_t length) {
  for (; length > 0; --length, ++data) reg = feedByte(reg, *data);
  return reg;
}

std::uint16_t feedFromTables(std::uint16_t reg, const std::uint8_t* data, std::size_t length) {
  for (; length >= kStride; length -= kStride, data += kStride) reg = feedStride(reg, data);
  return feedBytes(reg, data, length);
}

#ifdef KORVEL_CRC16_CLMUL

// x^n modulo the polynomial (x^16 + 0x1021).
constexpr std::uint64_t powerOfX(int n) {
  std::uint32_t r = 1;
  for (int i = 0; i < n; ++i) {
    r <<= 1;
    if ((r & 0x10000) != 0) r ^= 0x10000 | kPolynomial;
  }
  return r;
}

// Sixteen bytes, the first one the most significant: bit i stands for x^i.
__attribute__((target("ssse3"))) __m128i loadBlock(const std::uint8_t* at) {
  const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), reverse);
}

// The frame as one long polynomial, 16 bytes at a time: a block followed by 128 more bits is
// worth its two halves times x^192 and x^128, each reduced to 16 bits beforehand, so each step
// folds the block into the next one with two carry-less multiplications. Only the last block
// and the bytes after it go through a table, the byte table (512 bytes), where the sixteen tables
// (8 KiB) have to come back from memory after every pause of a run.
__attribute__((target("pclmul,ssse3"))) std::uint16_t feedFolding(std::uint16_t reg,
                                                                  const std::uint8_t* data,
                                                                  std::size_t length) {
  const __m128i powers =
      _mm_set_epi64x(static_cast<long long>(powerOfX(192)), static_cast<long long>(powerOfX(128)));
  // The register is as good as XORed into the first two bytes, after which it starts from zero.
  __m128i block = _mm_xor_si128(loadBlock(data), _mm_slli_si128(_mm_cvtsi32_si128(reg), 14));
  for (data += 16, length -= 16; length >= 16; data += 16, length -= 16) {
    const __m128i high = _mm_clmulepi64_si128(block, powers, 0x11);
    const __m128i low = _mm_clmulepi64_si128(block, powers, 0x00);
    block = _mm_xor_si128(_mm_xor_si128(high, low), loadBlock(data));
  }
  alignas(16) std::array<std::uint8_t, 16> folded{};
  _mm_store_si128(reinterpret_cast<__m128i*>(folded.data()), block);
  reg = 0;
  for (std::size_t i = folded.size(); i > 0; --i) reg = feedByte(reg, folded[i - 1]);
  return feedBytes(reg, data, length);
}

bool canFold() {
  static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
  return can;
}

#endif

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::int32_t length) {
  std::uint16_t reg = 0xFFFF;
  if (length <= 0) return reg;
#ifdef KORVEL_CRC16_CLMUL
  if (length >= 32 && canFold()) return feedFolding(reg, data, static_cast<std::size_t>(length));
#endif
  return feedFromTables(reg, data, static_cast<std::size_t>(length));
}

std::uint16_t Crc16FromTables(const std::uint8_t* data, std::int32_t length) {
  if (length <= 0) return 0xFFFF;
  return feedFromTables(0xFFFF, data, static_cast<std::size_t>(length));
}

}  // namespace korvel
