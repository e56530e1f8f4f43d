#pragma once

#include <filesystem>
#include <string>

namespace korvel {

// The text of the summary field for the image at `path`: its name, version and bus address as
// read from the records before the first data record, or why they could not be read. UTF-8.
std::string imageSummary(const std::filesystem::path& path);

}  // namespace korvel
