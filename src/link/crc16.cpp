#include "link/crc16.h"

#include <array>

namespace korvel {
namespace {

// Entry t: t placed in the top four bits of a zero register, shifted four times through the
// polynomial. Half a kilobyte of table buys little over these 32 bytes for frames this short.
constexpr std::array<std::uint16_t, 16> makeNibbleTable() {
  std::array<std::uint16_t, 16> table{};
  for (unsigned t = 0; t < 16; ++t) {
    auto reg = static_cast<std::uint16_t>(t << 12);
    for (int bit = 0; bit < 4; ++bit) {
      reg = static_cast<std::uint16_t>((reg & 0x8000) ? (reg << 1) ^ 0x1021 : reg << 1);
    }
    table[t] = reg;
  }
  return table;
}

constexpr auto kNibbleTable = makeNibbleTable();

constexpr std::uint16_t feedNibble(std::uint16_t reg, unsigned nibble) {
  const unsigned index = (reg >> 12) ^ nibble;
  return static_cast<std::uint16_t>((reg << 4) ^ kNibbleTable[index]);
}

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::int32_t length) {
  std::uint16_t reg = 0xFFFF;
  for (std::int32_t i = 0; i < length; ++i) {
    reg = feedNibble(reg, data[i] >> 4);
    reg = feedNibble(reg, data[i] & 0x0F);
  }
  return reg;
}

std::uint16_t crc16TableEntry(unsigned index) { return kNibbleTable.at(index); }

}  // namespace korvel
