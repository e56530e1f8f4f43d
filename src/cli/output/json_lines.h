#pragma once

#include <mutex>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

namespace korvel {

// Objects keep their fields in the order they were written: "event" first, as people read them.
using JsonObject = nlohmann::ordered_json;

// The layout of the lines korvel-cli writes, as every line states it in "schema"; the schemas
// ship as korvel-cli-events.schema.json and korvel-cli-log.schema.json. It changes only when a
// field is removed or changes its meaning; new fields may come without it.
inline constexpr int kJsonSchemaVersion = 1;

// The start of every line: "event" first when there is one, then "schema".
JsonObject jsonHead(const char* event = nullptr);

// One object as one line of JSON, without the line ending. Whatever bytes a device or a file name
// brought, the line is valid JSON: invalid UTF-8 becomes U+FFFD, and every control character
// (C0, DEL and C1) is written as \uXXXX, so that a terminal showing the line obeys none of them.
std::string jsonLine(const JsonObject& object);

// JSON Lines on one stream, shared by the threads of several devices: each object goes out as a
// whole line, never interleaved with another.
class JsonLines {
 public:
  explicit JsonLines(std::ostream& out) : out_(out) {}

  void write(const JsonObject& object);

 private:
  std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace korvel
