#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "common/bytes.h"

namespace korvel {

// Writes the bytes of a firmware image record by record: sample images for the simulator, the
// demo, the tests and the benchmarks.
class ImageBuilder {
 public:
  ImageBuilder& name(std::string_view name);
  ImageBuilder& version(std::uint8_t major, std::uint8_t minor);
  ImageBuilder& address(std::uint8_t busAddress);
  ImageBuilder& data(std::uint8_t type, ByteView payload);
  // A data record whose length field says `declaredLength` but carries `payload` as it is.
  ImageBuilder& dataWithLength(std::uint8_t type, std::uint32_t declaredLength, ByteView payload);
  ImageBuilder& raw(ByteView bytes);
  ImageBuilder& raw(std::initializer_list<std::uint8_t> bytes) { return raw(ByteView(bytes.begin(), bytes.size())); }

  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

// Deterministic payload bytes for sample records.
Bytes samplePayload(std::size_t length, std::uint32_t seed);

}  // namespace korvel
