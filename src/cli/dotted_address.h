#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace korvel {

// An IPv4 address typed as exactly four dotted decimal numbers 0 to 255, read the way the IP
// field gives it: the first number in the most significant byte. Nothing for anything else.
std::optional<std::uint32_t> parseDottedAddress(std::string_view text);

}  // namespace korvel
