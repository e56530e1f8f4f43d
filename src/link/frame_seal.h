#pragma once

#include "common/bytes.h"

namespace korvel {

// The checksum in a frame's first two bytes, over everything after them up to the end of the
// payload that the length field counts.

// Writes the seal into `frame`, whose length field is filled in and which holds at least the
// header and that many payload bytes.
void sealFrame(MutableByteView frame);

// The frame holds the header and as many payload bytes as its length field says, and its seal
// matches them; bytes past that length are not looked at.
[[nodiscard]] bool frameSealIntact(ByteView frame);

}  // namespace korvel
