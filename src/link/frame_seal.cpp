#include "link/frame_seal.h"

#include "link/crc16.h"
#include "link/frame_header.h"

namespace korvel {
namespace {

ByteView sealed(ByteView frame) {
  const std::size_t size = FrameHeader::kSize + getLe16(frame, FrameHeader::kLengthOffset);
  return frame.subspan(FrameHeader::kLengthOffset, size - FrameHeader::kLengthOffset);
}

}  // namespace

void sealFrame(MutableByteView frame) {
  putLe16(frame, FrameHeader::kChecksumOffset, Crc16(sealed(frame)));
}

bool frameSealIntact(ByteView frame) {
  if (frame.size() < FrameHeader::kSize) return false;
  if (frame.size() < FrameHeader::kSize + getLe16(frame, FrameHeader::kLengthOffset)) return false;
  return Crc16(sealed(frame)) == getLe16(frame, FrameHeader::kChecksumOffset);
}

}  // namespace korvel
