#pragma once

#include "window/control_ids.h"

namespace korvel::control {

// The Qt window carries each control's number in this property.
inline constexpr char kIdProperty[] = "controlId";

}  // namespace korvel::control
