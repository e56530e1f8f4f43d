#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvel {

// Where an image's data goes, from the bus address at its first data record (nothing: no data).
std::string targetText(const std::optional<std::uint8_t>& target);

}  // namespace korvel
