#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace korvel {

class FirmwareImage;

// The summary of the image at `path`: its name, version and bus address as read from the records
// before the first data record, or why they could not be read.
struct ImageSummary {
  bool read = false;  // the text is the image's summary, not the reason there is none
  std::string text;   // the summary field's text, UTF-8
  // The same, field by field, for machine-readable output; meaningful only when read.
  std::string name;  // UTF-8, "?????" when the image names itself nowhere
  bool nameCut = false;
  std::uint8_t versionMajor = 0;
  std::uint8_t versionMinor = 0;
  std::uint8_t busAddress = 255;  // 255: the device itself
};

[[nodiscard]] ImageSummary summarizeImage(const std::filesystem::path& path);
// The same from an image open at its first byte.
[[nodiscard]] ImageSummary summarizeImage(FirmwareImage& image);

// The summary field's text alone.
inline std::string imageSummary(const std::filesystem::path& path) {
  return summarizeImage(path).text;
}

}  // namespace korvel
