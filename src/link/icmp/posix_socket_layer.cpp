#include "link/socket_layer.h"

namespace korvel {

// POSIX sockets need no start.
bool startSocketLayer() { return true; }
void stopSocketLayer() {}

}  // namespace korvel
