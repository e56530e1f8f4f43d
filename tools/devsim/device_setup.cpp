#include "device_setup.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <charconv>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "common/utf8.h"

namespace korvel::devsim {
namespace {

using nlohmann::json;

template <typename Number>
std::optional<Number> parseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  Number value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> parseDotted(const std::string& text,
                                                                   std::uint32_t limit) {
  const auto dot = text.find('.');
  if (dot == std::string::npos) return std::nullopt;
  const auto high = parseNumber<std::uint32_t>(std::string_view(text).substr(0, dot));
  const auto low = parseNumber<std::uint32_t>(std::string_view(text).substr(dot + 1));
  if (!high || !low || *high > limit || *low > limit) return std::nullopt;
  return std::pair{*high, *low};
}

// A JSON value that may be given as a number or as text.
std::string asText(const json& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

bool readSubordinates(const json& list, std::vector<SubordinateConfig>& out, std::string& error) {
  if (!list.is_array()) {
    error = "\"subordinates\" must be a list";
    return false;
  }
  for (const auto& item : list) {
    std::optional<SubordinateConfig> sub;
    if (item.is_object()) {
      sub = parseSubordinate(asText(item.value("address", json("?"))));
      if (sub && item.contains("savedValue")) {
        const auto& value = item["savedValue"];
        if (value.is_array() && value.size() == 4) {
          for (std::size_t i = 0; i < 4; ++i) {
            const int byte = value[i].get<int>();
            if (byte < 0 || byte > 255) sub.reset();
            if (sub) sub->savedValue[i] = static_cast<std::uint8_t>(byte);
          }
        } else {
          sub = parseSubordinate(asText(item["address"]) + ":" + asText(value));
        }
      }
    } else {
      sub = parseSubordinate(asText(item));
    }
    if (!sub) {
      error = "bad subordinate " + item.dump() + " (address 0-253, savedValue 8 hex digits)";
      return false;
    }
    out.push_back(*sub);
  }
  return true;
}

bool readSettings(const json& object, DeviceSettings& settings, std::string& error) {
  static const std::map<std::string, int> known = {
      {"address", 0},        {"login", 0},       {"password", 0},     {"boardId", 0},
      {"serial", 0},         {"text1", 0},       {"text2", 0},        {"bootVersion", 0},
      {"programVersion", 0}, {"bootMonitor", 0}, {"subordinates", 0}, {"faults", 0},
      {"seed", 0},           {"devices", 0}};
  for (const auto& [key, value] : object.items()) {
    if (!known.count(key)) {
      error = "unknown setting \"" + key + "\"";
      return false;
    }
  }
  const auto text = [&](const char* key, std::optional<std::string>& out) {
    if (object.contains(key)) out = asText(object[key]);
  };
  text("login", settings.login);
  text("password", settings.password);
  text("text1", settings.text1);
  text("text2", settings.text2);
  const auto number = [&](const char* key, auto parse, auto& out) {
    if (!object.contains(key)) return true;
    const auto value = parse(asText(object[key]));
    if (!value) error = "bad value for \"" + std::string(key) + "\": " + object[key].dump();
    out = value;
    return value.has_value();
  };
  if (!number("boardId", parseUnsigned, settings.boardId) ||
      !number("serial", parseSerial, settings.serial) ||
      !number("bootVersion", parseVersion, settings.bootVersion) ||
      !number("programVersion", parseVersion, settings.programVersion) ||
      !number("seed", parseNumber<std::uint64_t>, settings.seed)) {
    return false;
  }
  if (object.contains("bootMonitor"))
    settings.startInBootMonitor = object["bootMonitor"].get<bool>();
  if (object.contains("subordinates")) {
    settings.subordinates.emplace();
    if (!readSubordinates(object["subordinates"], *settings.subordinates, error)) return false;
  }
  if (object.contains("faults")) {
    for (const auto& fault : object["faults"]) settings.faults.push_back(fault.get<std::string>());
  }
  return true;
}

}  // namespace

std::optional<std::string> utf8ToCp1251(const std::string& text) {
  static const std::map<std::string, char> high = [] {
    std::map<std::string, char> table;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      const std::string one(1, static_cast<char>(byte));
      table.emplace(cp1251ToUtf8(one), static_cast<char>(byte));
    }
    return table;
  }();
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += text[i++];
      continue;
    }
    const std::size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const auto found = high.find(text.substr(i, size));
    if (found == high.end()) return std::nullopt;
    out += found->second;
    i += size;
  }
  return out;
}

std::optional<std::uint32_t> parseDeviceAddress(const std::string& text) {
  in_addr address{};
  if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
  const std::uint32_t host = ntohl(address.s_addr);
  if (host == INADDR_ANY || host == INADDR_BROADCAST || IN_MULTICAST(host)) return std::nullopt;
  return address.s_addr;
}

bool isAddressOfThisNamespace(std::uint32_t address) {
  if ((ntohl(address) >> 24) == 127) return true;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool found = false;
  for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    found = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == address;
  }
  ::freeifaddrs(list);
  return found;
}

std::optional<std::uint32_t> parseUnsigned(const std::string& text) {
  return parseNumber<std::uint32_t>(text);
}

std::optional<std::uint32_t> parseSerial(const std::string& text) {
  if (const auto halves = parseDotted(text, 0xFFFF)) return (halves->first << 16) | halves->second;
  return parseNumber<std::uint32_t>(text);
}

std::optional<std::uint16_t> parseVersion(const std::string& text) {
  if (const auto parts = parseDotted(text, 0xFF)) {
    return static_cast<std::uint16_t>((parts->first << 8) | parts->second);
  }
  return parseNumber<std::uint16_t>(text);
}

std::optional<SubordinateConfig> parseSubordinate(const std::string& text) {
  const auto colon = text.find(':');
  const auto address = parseNumber<std::uint32_t>(std::string_view(text).substr(0, colon));
  // 254 is where a subordinate goes while it is programmed, 255 means none.
  if (!address || *address > 253) return std::nullopt;
  SubordinateConfig sub;
  sub.address = static_cast<std::uint8_t>(*address);
  if (colon == std::string::npos) return sub;
  const std::string value = text.substr(colon + 1);
  if (value.size() != 8) return std::nullopt;
  for (std::size_t i = 0; i < 4; ++i) {
    const auto byte = parseNumber<std::uint8_t>("0x" + value.substr(2 * i, 2));
    if (!byte) return std::nullopt;
    sub.savedValue[i] = *byte;
  }
  return sub;
}

bool applySettings(const DeviceSettings& settings, DeviceSetup& setup, std::string& error) {
  DeviceConfig& config = setup.config;
  const auto latin1 = [&](const std::optional<std::string>& text, std::string& out,
                          const char* what) {
    if (!text) return true;
    const auto bytes = utf8ToLatin1(*text);
    if (!bytes) error = std::string(what) + " holds a character above U+00FF";
    if (bytes) out = *bytes;
    return bytes.has_value();
  };
  const auto cp1251 = [&](const std::optional<std::string>& text, std::string& out,
                          const char* what) {
    if (!text) return true;
    const auto bytes = utf8ToCp1251(*text);
    if (!bytes) error = std::string(what) + " holds a character that Windows-1251 lacks";
    if (bytes && bytes->size() > 32) error = std::string(what) + " is longer than 32 bytes";
    if (bytes && bytes->size() <= 32) out = *bytes;
    return bytes && bytes->size() <= 32;
  };
  if (!latin1(settings.login, config.login, "the login") ||
      !latin1(settings.password, config.password, "the password") ||
      !cp1251(settings.text1, config.text1, "text1") ||
      !cp1251(settings.text2, config.text2, "text2")) {
    return false;
  }
  if (settings.boardId) config.boardId = *settings.boardId;
  if (settings.serial) config.serial = *settings.serial;
  if (settings.bootVersion) config.bootVersion = *settings.bootVersion;
  if (settings.programVersion) config.programVersion = *settings.programVersion;
  if (settings.startInBootMonitor) config.startInBootMonitor = *settings.startInBootMonitor;
  if (settings.subordinates) config.subordinates = *settings.subordinates;
  if (settings.seed) setup.seed = *settings.seed;
  for (const auto& text : settings.faults) {
    std::string why;
    const auto rule = parseFaultRule(text, why);
    if (!rule) {
      error = "bad fault \"" + text + "\": " + why;
      return false;
    }
    setup.faults.push_back(*rule);
  }
  return true;
}

std::optional<FileConfig> readConfigFile(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  FileConfig config;
  try {
    const json root = json::parse(in);
    if (!root.is_object()) {
      error = path + ": the configuration must be a JSON object";
      return std::nullopt;
    }
    if (root.contains("address")) {
      error = path + ": \"address\" belongs into an object of \"devices\"";
      return std::nullopt;
    }
    if (!readSettings(root, config.common, error)) {
      error = path + ": " + error;
      return std::nullopt;
    }
    for (const auto& device : root.value("devices", json::array())) {
      DeviceSettings settings;
      if (!device.is_object() || !device.contains("address") || device.contains("devices") ||
          !readSettings(device, settings, error)) {
        error = path + ": bad device " + device.dump() + (error.empty() ? "" : ": " + error);
        return std::nullopt;
      }
      config.devices.emplace_back(asText(device["address"]), std::move(settings));
    }
  } catch (const json::exception& e) {
    error = path + ": " + e.what();
    return std::nullopt;
  }
  return config;
}

}  // namespace korvel::devsim
