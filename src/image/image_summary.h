#pragma once

#include <filesystem>
#include <string>

namespace korvel {

// The summary of the image at `path`: its name, version and bus address as read from the records
// before the first data record, or why they could not be read.
struct ImageSummary {
  bool read = false;  // the text is the image's summary, not the reason there is none
  std::string text;   // the summary field's text, UTF-8
};

[[nodiscard]] ImageSummary summarizeImage(const std::filesystem::path& path);

// The summary field's text alone.
inline std::string imageSummary(const std::filesystem::path& path) {
  return summarizeImage(path).text;
}

}  // namespace korvel
