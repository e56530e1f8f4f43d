#pragma once

#include <array>
#include <cstdint>

#include "common/bytes.h"

namespace korvel {

// The last four records forwarded to a subordinate, kept so that the subordinate can ask for up
// to three of them to be sent again. It lives as long as the window, across runs.
struct ResendSlot {
  static constexpr std::uint32_t kCapacity = 1024;
  std::array<std::uint8_t, kCapacity> data{};
  std::uint32_t length = 0;
  std::uint8_t type = 0;
  bool used = false;  // holds a record of the current run

  ByteView payload() const { return ByteView(data.data(), length); }
};

struct ResendRing {
  std::array<ResendSlot, 4> slots;
  std::uint8_t index = 0;  // two bits: the slot the next record goes to
  // How many of the records forwarded last can be sent again in their order, up to 4. A record
  // too long for a slot leaves no copy, so nothing before it can; slots that never held a record
  // stand for records that never went out, and count.
  std::uint8_t inOrder = 4;

  // Stores the record in the slot at `index` and advances it; false (and nothing stored) for a
  // record longer than a slot.
  bool store(std::uint8_t type, ByteView payload);
  // At the start of a run: the records of earlier runs are not this image's, so they count as
  // never written. `index` stays where it is.
  void forgetEarlierRecords();
  void moveBack(unsigned count) { index = static_cast<std::uint8_t>((index - count) & 3u); }
  void advance() { index = static_cast<std::uint8_t>((index + 1) & 3u); }
  const ResendSlot& current() const { return slots[index]; }
};

}  // namespace korvel
