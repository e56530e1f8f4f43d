#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// An IPv4 address as the operator writes it, a.b.c.d. The platforms want it as a 32-bit number
// in one of two orders: the IP field, the settings and the Windows dialog take the first field
// in the most significant bit (host order); sockets and the ICMP helper take it in the first
// byte in memory (network order). The conversions live here and nowhere else.
class Ipv4Address {
 public:
  constexpr Ipv4Address() = default;  // 0.0.0.0, what a fresh IP field shows
  constexpr Ipv4Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
      : fields_{a, b, c, d} {}

  static constexpr Ipv4Address fromHostOrder(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  }
  static Ipv4Address fromNetworkOrder(std::uint32_t value);
  // Exactly four dotted decimal numbers 0 to 255 of one to three digits; nothing for anything
  // else (no spaces, signs, hexadecimal or shortened forms).
  static std::optional<Ipv4Address> parse(std::string_view text);

  constexpr std::uint32_t hostOrder() const {
    return (std::uint32_t{fields_[0]} << 24) | (std::uint32_t{fields_[1]} << 16) |
           (std::uint32_t{fields_[2]} << 8) | fields_[3];
  }
  std::uint32_t networkOrder() const;
  constexpr const std::array<std::uint8_t, 4>& fields() const { return fields_; }
  std::string dotted() const;

  constexpr auto operator<=>(const Ipv4Address&) const = default;

 private:
  std::array<std::uint8_t, 4> fields_{};
};

}  // namespace korvel
