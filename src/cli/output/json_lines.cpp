#include "cli/output/json_lines.h"

#include <cstdint>

#include "cli/output/terminal_text.h"

namespace korvel {
namespace {

void appendUnicodeEscape(std::string& out, std::uint8_t code) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[code >> 4];
  out += kHex[code & 0xF];
}

}  // namespace

// The serializer escapes C0 controls itself but leaves DEL and U+0080 to U+009F as they are; in
// the valid UTF-8 it writes they can stand only inside strings, where an escape means the same.
std::string jsonLine(const JsonObject& object) {
  return replaceControls(object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                         appendUnicodeEscape);
}

JsonObject jsonHead(const char* event) {
  JsonObject object;
  if (event) object["event"] = event;
  object["schema"] = kJsonSchemaVersion;
  return object;
}

void JsonLines::write(const JsonObject& object) {
  std::string line = jsonLine(object);
  line += '\n';
  const std::lock_guard lock(mutex_);
  out_ << line << std::flush;
}

}  // namespace korvel
