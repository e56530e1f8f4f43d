#include "cli/dotted_address.h"

#include <cstddef>

namespace korvel {
namespace {

constexpr std::size_t kMaxDigits = 3;

// One decimal number of 1 to 3 digits, not above 255, starting at `pos`; advances `pos`.
std::optional<std::uint32_t> readOctet(std::string_view text, std::size_t& pos) {
  std::uint32_t value = 0;
  std::size_t digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (++digits > kMaxDigits) return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(text[pos] - '0');
    ++pos;
  }
  if (digits == 0 || value > 255) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::uint32_t> parseDottedAddress(std::string_view text) {
  std::uint32_t address = 0;
  std::size_t pos = 0;
  for (int field = 0; field < 4; ++field) {
    if (field > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    const auto octet = readOctet(text, pos);
    if (!octet) return std::nullopt;
    address = (address << 8) | *octet;
  }
  if (pos != text.size()) return std::nullopt;
  return address;
}

}  // namespace korvel
