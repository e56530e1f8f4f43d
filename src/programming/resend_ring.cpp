#include "programming/resend_ring.h"

#include <algorithm>

namespace korvel {

bool ResendRing::store(std::uint8_t type, ByteView payload) {
  if (payload.size() > ResendSlot::kCapacity) {
    inOrder = 0;
    return false;
  }
  if (inOrder < slots.size()) ++inOrder;
  ResendSlot& slot = slots[index];
  std::copy(payload.begin(), payload.end(), slot.data.begin());
  slot.length = static_cast<std::uint32_t>(payload.size());
  slot.type = type;
  slot.used = true;
  advance();
  return true;
}

void ResendRing::forgetEarlierRecords() {
  for (ResendSlot& slot : slots) slot.used = false;
  inOrder = static_cast<std::uint8_t>(slots.size());
}

}  // namespace korvel
