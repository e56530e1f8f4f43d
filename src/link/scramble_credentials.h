#pragma once

#include <cstdint>

namespace korvel {

// XORs the buffer with the key repeated from its first byte; applying it twice restores the
// buffer. The envelope hides the credential field with the link's session token this way.
void ScrambleCredentials(std::uint8_t* buffer, std::int32_t length, const std::uint8_t* key,
                         std::int32_t keyLength);

}  // namespace korvel
