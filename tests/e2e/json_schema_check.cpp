// Checks JSON lines written by korvel-cli against the schema the README documents: every line
// one object, every field there with its type, no field the schema does not name.
//
// usage: e2e_json_schema_check events FILE   (--json output: one object per event)
//        e2e_json_schema_check log FILE      (--log-file lines)
// Exits 0 when every line fits, 1 (saying which line and why) when one does not.
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

enum class Type { String, Unsigned, Number, Boolean, StringOrNull, UnsignedOrNull };
using Fields = std::map<std::string, Type>;

bool fits(const json& value, Type type) {
  switch (type) {
    case Type::String:
      return value.is_string();
    case Type::Unsigned:
      return value.is_number_unsigned();
    case Type::Number:
      return value.is_number() && value.get<double>() >= 0;
    case Type::Boolean:
      return value.is_boolean();
    case Type::StringOrNull:
      return value.is_null() || value.is_string();
    case Type::UnsignedOrNull:
      return value.is_null() || value.is_number_unsigned();
  }
  return false;
}

const std::set<std::string> kOutcomes = {"ok",
                                         "credentials-too-long",
                                         "credentials-bad-character",
                                         "no-icmp-access",
                                         "no-answer",
                                         "device-error",
                                         "another-copy-running",
                                         "file-cannot-open",
                                         "file-format",
                                         "file-read",
                                         "record-too-long",
                                         "packet-type",
                                         "subordinate-via-boot",
                                         "file-changed",
                                         "record-exceeds-packet",
                                         "link-lost",
                                         "restore-failed",
                                         "interrupted"};

const Fields kDeviceInfo = {{"board_id", Type::Unsigned},   {"serial", Type::String},
                            {"boot_version", Type::String}, {"program_version", Type::String},
                            {"text1", Type::String},        {"text2", Type::String}};

std::map<std::string, Fields> eventSchema() {
  Fields info = kDeviceInfo;
  info["text"] = Type::String;
  return {
      {"phase", {{"phase", Type::String}, {"total", Type::Unsigned}}},
      {"retry",
       {{"request", Type::String}, {"attempt", Type::Unsigned}, {"retried", Type::Boolean}}},
      {"info", info},
      {"progress",
       {{"records", Type::Unsigned},
        {"bytes_done", Type::Unsigned},
        {"bytes_total", Type::Unsigned}}},
      {"resend", {{"count", Type::Unsigned}}},
      {"message", {{"text", Type::String}}},
      {"result",
       {{"outcome", Type::String},
        {"text", Type::String},
        {"records", Type::Unsigned},
        {"bytes", Type::Unsigned},
        {"seconds", Type::Number}}},
  };
}

Fields logSchema(const json& line) {
  Fields fields = {{"time", Type::String},    {"command", Type::String},
                   {"ip", Type::String},      {"outcome", Type::String},
                   {"text", Type::String},    {"records", Type::Unsigned},
                   {"bytes", Type::Unsigned}, {"seconds", Type::Number}};
  const bool read = line.contains("board_id") && !line["board_id"].is_null();
  for (const auto& [name, type] : kDeviceInfo) {
    fields[name] =
        read ? type : (type == Type::Unsigned ? Type::UnsignedOrNull : Type::StringOrNull);
  }
  if (line.contains("interface")) fields["interface"] = Type::String;
  if (line.value("command", "") == "program") {
    fields["image"] = Type::String;
    fields["image_size"] = Type::UnsignedOrNull;
    fields["image_sha256"] = Type::StringOrNull;
    fields["image_name"] = Type::StringOrNull;
    fields["image_version"] = Type::StringOrNull;
    fields["target"] = Type::StringOrNull;
    fields["bus_address"] = Type::UnsignedOrNull;
  }
  return fields;
}

// Empty when `line` has exactly `fields`, each of its type; otherwise what is wrong.
std::string mismatch(const json& line, const Fields& fields) {
  for (const auto& [name, type] : fields) {
    if (!line.contains(name)) return "no field \"" + name + "\"";
    if (!fits(line[name], type)) return "field \"" + name + "\" has the wrong type";
  }
  for (const auto& item : line.items()) {
    if (!fields.contains(item.key())) return "unknown field \"" + item.key() + "\"";
  }
  if (line.contains("outcome") && !kOutcomes.contains(line["outcome"].get<std::string>())) {
    return "unknown outcome " + line["outcome"].dump();
  }
  return {};
}

std::string checkEvent(const json& line) {
  static const auto schema = eventSchema();
  if (!line.contains("event") || !line["event"].is_string()) return "no \"event\"";
  const auto found = schema.find(line["event"].get<std::string>());
  if (found == schema.end()) return "unknown event " + line["event"].dump();
  Fields fields = found->second;
  fields["event"] = Type::String;
  fields["ip"] = Type::String;
  if (line.contains("interface")) fields["interface"] = Type::String;
  return mismatch(line, fields);
}

std::string checkLogLine(const json& line) {
  if (auto wrong = mismatch(line, logSchema(line)); !wrong.empty()) return wrong;
  static const std::regex kTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  if (!std::regex_match(line["time"].get<std::string>(), kTime)) return "time is not ISO 8601 UTC";
  const auto& sha = line.contains("image_sha256") ? line["image_sha256"] : json();
  static const std::regex kSha(R"([0-9a-f]{64})");
  if (sha.is_string() && !std::regex_match(sha.get<std::string>(), kSha)) return "bad SHA-256";
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[1]) != "events" && std::string(argv[1]) != "log")) {
    std::cerr << "usage: e2e_json_schema_check events|log FILE\n";
    return 2;
  }
  const bool events = std::string(argv[1]) == "events";
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::cerr << argv[2] << ": cannot be read\n";
    return 1;
  }
  std::size_t number = 0;
  for (std::string text; std::getline(in, text);) {
    ++number;
    std::string wrong;
    try {
      const json line = json::parse(text);
      wrong = !line.is_object() ? "not an object" : events ? checkEvent(line) : checkLogLine(line);
    } catch (const json::exception& error) {
      wrong = error.what();
    }
    if (!wrong.empty()) {
      std::cerr << argv[2] << ":" << number << ": " << wrong << ": " << text << '\n';
      return 1;
    }
  }
  if (number == 0) {
    std::cerr << argv[2] << ": no lines\n";
    return 1;
  }
  return 0;
}
