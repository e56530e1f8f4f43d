#include "cli/output/image_facts.h"

#include <system_error>

#include "common/utf8.h"
#include "image/firmware_image.h"
#include "image/sha256.h"

namespace korvel {

ImageFacts readImageFacts(const std::string& path) {
  ImageFacts facts;
  facts.path = path;
  const auto file = pathFromUtf8(path);
  if (const auto digest = sha256OfFile(file)) {
    facts.sha256 = toHex(*digest);
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (!error) facts.size = size;
  }
  ImageSummary summary = summarizeImage(file);
  if (summary.read) facts.summary = std::move(summary);
  return facts;
}

ImageFacts readImageFacts(const std::string& path, const CheckedImage& image) {
  ImageFacts facts;
  facts.path = path;
  facts.size = image.check.size;
  if (image.check.sha256) facts.sha256 = toHex(*image.check.sha256);
  FirmwareImage reader(image.file);
  ImageSummary summary = summarizeImage(reader);
  if (summary.read) facts.summary = std::move(summary);
  return facts;
}

void addTarget(JsonObject& object, std::uint8_t busAddress) {
  const bool device = busAddress == kNoBusAddress;
  object["target"] = device ? "device" : "subordinate";
  object["bus_address"] = device ? JsonObject() : JsonObject(busAddress);
}

void addImageFacts(JsonObject& object, const ImageFacts& facts) {
  object["image"] = facts.path;
  object["image_size"] = facts.size ? JsonObject(*facts.size) : JsonObject();
  object["image_sha256"] = facts.sha256 ? JsonObject(*facts.sha256) : JsonObject();
  if (!facts.summary) {
    object["image_name"] = nullptr;
    object["image_version"] = nullptr;
    object["target"] = nullptr;
    object["bus_address"] = nullptr;
    return;
  }
  const ImageSummary& summary = *facts.summary;
  object["image_name"] = summary.name;
  object["image_version"] =
      std::to_string(summary.versionMajor) + "." + std::to_string(summary.versionMinor);
  addTarget(object, summary.busAddress);
}

}  // namespace korvel
