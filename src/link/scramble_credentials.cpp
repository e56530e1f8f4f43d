#include "link/scramble_credentials.h"

namespace korvel {

void ScrambleCredentials(std::uint8_t* buffer, std::int32_t length, const std::uint8_t* key,
                         std::int32_t keyLength) {
  if (keyLength < 1) return;
  for (std::int32_t j = 0; j < length; ++j) {
    buffer[j] = static_cast<std::uint8_t>(buffer[j] ^ key[j % keyLength]);
  }
}

}  // namespace korvel
