#include "cli/output/terminal_text.h"

#include <cstdint>

namespace korvel {
namespace {

void appendHexEscape(std::string& out, std::uint8_t code) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[code >> 4];
  out += kHex[code & 0xF];
}

}  // namespace

std::string escapeControls(std::string_view text) { return replaceControls(text, appendHexEscape); }

std::string replaceControls(std::string_view text,
                            void (*escape)(std::string& out, std::uint8_t code)) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      escape(out, byte);
      continue;
    }
    // U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<std::uint8_t>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        escape(out, next);
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace korvel
