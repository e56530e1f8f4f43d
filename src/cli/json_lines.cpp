#include "cli/json_lines.h"

#include <cstdint>

namespace korvel {
namespace {

void appendUnicodeEscape(std::string& out, std::uint8_t code) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[code >> 4];
  out += kHex[code & 0xF];
}

// The serializer leaves DEL and U+0080 to U+009F as they are; in the valid UTF-8 it writes they
// can stand only inside strings, where an escape means the same character.
std::string escapeRemainingControls(const std::string& dumped) {
  std::string out;
  out.reserve(dumped.size());
  for (std::size_t i = 0; i < dumped.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(dumped[i]);
    if (byte == 0x7F) {
      appendUnicodeEscape(out, byte);
      continue;
    }
    if (byte == 0xC2 && i + 1 < dumped.size()) {
      const auto next = static_cast<std::uint8_t>(dumped[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        appendUnicodeEscape(out, next);
        ++i;
        continue;
      }
    }
    out += dumped[i];
  }
  return out;
}

}  // namespace

std::string jsonLine(const JsonObject& object) {
  return escapeRemainingControls(
      object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void JsonLines::write(const JsonObject& object) {
  std::string line = jsonLine(object);
  line += '\n';
  const std::lock_guard lock(mutex_);
  out_ << line << std::flush;
}

}  // namespace korvel
