#include "common/ipv4_address.h"

#include <cstddef>
#include <cstring>

namespace korvel {
namespace {

constexpr std::size_t kMaxDigits = 3;

// One decimal number of 1 to 3 digits, not above 255, starting at `pos`; advances `pos`.
std::optional<std::uint8_t> readField(std::string_view text, std::size_t& pos) {
  unsigned value = 0;
  std::size_t digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (++digits > kMaxDigits) return std::nullopt;
    value = value * 10 + static_cast<unsigned>(text[pos] - '0');
    ++pos;
  }
  if (digits == 0 || value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

}  // namespace

Ipv4Address Ipv4Address::fromNetworkOrder(std::uint32_t value) {
  std::array<std::uint8_t, 4> fields;
  std::memcpy(fields.data(), &value, fields.size());
  return {fields[0], fields[1], fields[2], fields[3]};
}

std::optional<Ipv4Address> Ipv4Address::parse(std::string_view text) {
  std::array<std::uint8_t, 4> fields{};
  std::size_t pos = 0;
  for (std::size_t field = 0; field < fields.size(); ++field) {
    if (field > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    const auto value = readField(text, pos);
    if (!value) return std::nullopt;
    fields[field] = *value;
  }
  if (pos != text.size()) return std::nullopt;
  return Ipv4Address(fields[0], fields[1], fields[2], fields[3]);
}

std::uint32_t Ipv4Address::networkOrder() const {
  std::uint32_t value = 0;
  std::memcpy(&value, fields_.data(), sizeof value);
  return value;
}

std::string Ipv4Address::dotted() const {
  return std::to_string(fields_[0]) + '.' + std::to_string(fields_[1]) + '.' +
         std::to_string(fields_[2]) + '.' + std::to_string(fields_[3]);
}

}  // namespace korvel
