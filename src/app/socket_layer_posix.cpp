#include "app/socket_layer.h"

namespace korvel {

// POSIX sockets need no start-up.
bool SocketLayer::start() { return true; }

SocketLayer::~SocketLayer() = default;

}  // namespace korvel
