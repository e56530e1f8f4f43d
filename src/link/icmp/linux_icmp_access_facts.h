#pragma once

#include <string>

#include "link/icmp/icmp_access_advice.h"

namespace korvel {

// How the calling thread, the ICMP helper (`helperPath`, empty when there is none) and the
// system's settings stand towards ICMP now, with the system's texts for why each kind of socket
// was refused.
IcmpAccessFacts readIcmpAccessFacts(std::string helperPath, std::string pingSocketError,
                                    std::string rawSocketError);

}  // namespace korvel
