#pragma once

#include <cstdint>
#include <string>

namespace korvel {

// Where the window's settings live between runs.
namespace setting {
inline constexpr char kCommSection[] = "Comm";
inline constexpr char kIpAddr[] = "IpAddr";
inline constexpr char kFromBoot[] = "FromBoot";
inline constexpr char kFileSection[] = "File";
inline constexpr char kPath[] = "Path";
}  // namespace setting

// The four operations the window controller needs of a settings store, with UTF-8 texts. A value
// that is missing or cannot be read gives the fallback; failed writes are not reported.
class WindowSettings {
 public:
  virtual ~WindowSettings() = default;

  virtual std::uint32_t readInteger(const char* section, const char* name,
                                    std::uint32_t fallback) = 0;
  virtual void writeInteger(const char* section, const char* name, std::uint32_t value) = 0;
  virtual std::string readText(const char* section, const char* name,
                               const std::string& fallback) = 0;
  virtual void writeText(const char* section, const char* name, const std::string& value) = 0;
};

}  // namespace korvel
