#include "link/command_envelope.h"

#include <algorithm>

#include "common/utf8.h"
#include "link/crc16.h"
#include "link/frame_header.h"
#include "link/scramble_credentials.h"

namespace korvel {

Credentials formatCredentials(std::string_view login, std::string_view password) {
  Credentials result;
  const auto loginBytes = utf8ToLatin1(login);
  const auto passwordBytes = utf8ToLatin1(password);
  if (!loginBytes || !passwordBytes || loginBytes->find('\0') != std::string::npos ||
      passwordBytes->find('\0') != std::string::npos) {
    result.error = CredentialsError::BadCharacter;
    return result;
  }
  if (loginBytes->size() + passwordBytes->size() > envelope::kMaxCredentialChars) {
    result.error = CredentialsError::TooLong;
    return result;
  }
  auto out = std::copy(loginBytes->begin(), loginBytes->end(), result.field.begin());
  *out++ = ':';
  std::copy(passwordBytes->begin(), passwordBytes->end(), out);
  return result;
}

std::uint16_t envelopeLength(std::uint32_t areaLength) {
  const std::uint32_t wanted = areaLength + envelope::kCommandOffset;
  return static_cast<std::uint16_t>(std::max<std::uint32_t>(wanted, envelope::kMinLength));
}

namespace {

ByteView envelopeSealed(ByteView body) {
  const std::size_t covered = getLe16(body, envelope::kAreaLengthOffset) +
                              envelope::kCommandOffset - envelope::kAreaLengthOffset;
  return body.subspan(envelope::kAreaLengthOffset, covered);
}

}  // namespace

bool envelopeSealIntact(ByteView body) {
  if (body.size() < envelope::kCommandOffset ||
      body.size() < envelope::kCommandOffset + getLe16(body, envelope::kAreaLengthOffset)) {
    return false;
  }
  return Crc16(envelopeSealed(body)) == getLe16(body, envelope::kChecksumOffset);
}

std::array<std::uint8_t, 4> tokenKey(std::uint32_t sessionToken) {
  return {static_cast<std::uint8_t>(sessionToken), static_cast<std::uint8_t>(sessionToken >> 8),
          static_cast<std::uint8_t>(sessionToken >> 16),
          static_cast<std::uint8_t>(sessionToken >> 24)};
}

std::optional<Bytes> buildCommandFrame(ByteView command, std::uint32_t areaLength,
                                       const CredentialField& credentials,
                                       std::uint32_t sessionToken) {
  if (areaLength > envelope::kMaxAreaLength || command.size() > areaLength) return std::nullopt;
  const std::uint16_t length = envelopeLength(areaLength);
  Bytes frame(FrameHeader::kSize + length, 0);
  putLe16(frame, FrameHeader::kLengthOffset, length);

  const MutableByteView body = MutableByteView(frame).subspan(FrameHeader::kSize);
  putLe16(body, envelope::kAreaLengthOffset, static_cast<std::uint16_t>(areaLength));
  std::copy(command.begin(), command.end(), body.begin() + envelope::kCommandOffset);

  std::uint8_t* field = body.data() + envelope::kCredentialsOffset;
  std::copy(credentials.begin(), credentials.end(), field);
  const auto key = tokenKey(sessionToken);
  ScrambleCredentials(field, envelope::kCredentialsSize, key.data(), 4);

  putLe16(body, envelope::kChecksumOffset, Crc16(envelopeSealed(body)));
  return frame;
}

}  // namespace korvel
