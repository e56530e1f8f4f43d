#include "device_model/image_builder.h"

#include "image/firmware_image.h"

namespace korvel {

ImageBuilder& ImageBuilder::name(std::string_view name) {
  bytes_.push_back(marker::kName);
  bytes_.push_back(marker::kNameConfirm);
  bytes_.insert(bytes_.end(), name.begin(), name.end());
  bytes_.push_back(0);
  return *this;
}

ImageBuilder& ImageBuilder::version(std::uint8_t major, std::uint8_t minor) {
  bytes_.insert(bytes_.end(), {marker::kVersion, marker::kVersionConfirm, major, minor});
  return *this;
}

ImageBuilder& ImageBuilder::address(std::uint8_t busAddress) {
  bytes_.insert(bytes_.end(), {marker::kAddress, marker::kAddressConfirm, busAddress});
  return *this;
}

ImageBuilder& ImageBuilder::data(std::uint8_t type, ByteView payload) {
  return dataWithLength(type, static_cast<std::uint32_t>(payload.size()), payload);
}

ImageBuilder& ImageBuilder::dataWithLength(std::uint8_t type, std::uint32_t declaredLength,
                                           ByteView payload) {
  bytes_.push_back(marker::kData);
  bytes_.push_back(type);
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(declaredLength >> (8 * i)));
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  return *this;
}

ImageBuilder& ImageBuilder::raw(ByteView bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes samplePayload(std::size_t length, std::uint32_t seed) {
  Bytes payload(length);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& byte : payload) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return payload;
}

}  // namespace korvel
