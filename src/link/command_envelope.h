#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/bytes.h"

namespace korvel {

// The payload of every command frame: envelope checksum, command-area length, the scrambled
// credential field, and the command area. Offsets count from the envelope's first byte, which
// is frame byte 12.
namespace envelope {
inline constexpr std::size_t kChecksumOffset = 0;
inline constexpr std::size_t kAreaLengthOffset = 2;
inline constexpr std::size_t kCredentialsOffset = 4;
inline constexpr std::size_t kCredentialsSize = 32;
inline constexpr std::size_t kCommandOffset = 36;
inline constexpr std::size_t kMinLength = 77;
// The largest command area whose frame still fits the 16-bit length field.
inline constexpr std::uint32_t kMaxAreaLength = 65487;
// Login and password together, without the colon and the terminating zero.
inline constexpr std::size_t kMaxCredentialChars = kCredentialsSize - 2;
}  // namespace envelope

using CredentialField = std::array<std::uint8_t, envelope::kCredentialsSize>;

enum class CredentialsError { None, TooLong, BadCharacter };

struct Credentials {
  CredentialsError error = CredentialsError::None;
  CredentialField field{};  // "login:password", a zero byte, zeros; not yet scrambled
};

// Login and password as the operator typed them (UTF-8). Each character below U+0100 becomes the
// byte of the same value; a character above U+00FF (or U+0000) and a text that does not fit the
// field with its colon and zero are refused rather than sent altered.
[[nodiscard]] Credentials formatCredentials(std::string_view login, std::string_view password);

// Envelope length S for a command area of L bytes: L + 36, but never below 77.
std::uint16_t envelopeLength(std::uint32_t areaLength);

// A complete request frame (header fields other than the length left for EchoLink::request) that
// carries `command` in a command area of `areaLength` bytes, with the credential field scrambled
// with `sessionToken` and the envelope checksum written. Nothing when the command does not fit
// the area or the area is too long for a frame.
[[nodiscard]] std::optional<Bytes> buildCommandFrame(ByteView command, std::uint32_t areaLength,
                                                     const CredentialField& credentials,
                                                     std::uint32_t sessionToken);

// The envelope's own checksum, over its area-length field, credential field and command area,
// is sound. `envelope` holds at least the fixed part and the area its length field gives.
[[nodiscard]] bool envelopeSealIntact(ByteView envelope);

// The four token bytes, low byte first: the key of the credential field.
std::array<std::uint8_t, 4> tokenKey(std::uint32_t sessionToken);

}  // namespace korvel
