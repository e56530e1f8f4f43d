#pragma once

#include <string>

#include "cli/output/json_lines.h"
#include "link/device_replies.h"

namespace korvel {

// The information reply's fields, decoded: the board id as a number, the serial's two halves and
// the versions as the window shows them ("3.7", "1.2"), the device's texts converted to UTF-8.
// Added to `object` after what it holds.
void addDeviceInfo(JsonObject& object, const DeviceInfoReply& info);

}  // namespace korvel
