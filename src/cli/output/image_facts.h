#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/output/json_lines.h"
#include "image/image_summary.h"
#include "programming/image_check.h"

namespace korvel {

// What the run log says about the image a run was given, read once before any device is touched:
// the file's size and SHA-256, and its name, version and target from the records before the data.
struct ImageFacts {
  std::string path;  // as given, UTF-8
  std::optional<std::uint64_t> size;
  std::optional<std::string> sha256;    // lower-case hexadecimal
  std::optional<ImageSummary> summary;  // only when the summary could be read
};

ImageFacts readImageFacts(const std::string& path);
// The facts of an image a command opened and checked once; the file is read again from its open
// descriptor, never from the path.
ImageFacts readImageFacts(const std::string& path, const CheckedImage& image);

// "image", "image_size", "image_sha256", "image_name", "image_version", "target", "bus_address";
// null where the file did not tell.
void addImageFacts(JsonObject& object, const ImageFacts& facts);

// "target": "device" or "subordinate", and "bus_address" (null for the device itself).
void addTarget(JsonObject& object, std::uint8_t busAddress);

}  // namespace korvel
