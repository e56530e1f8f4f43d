#pragma once

namespace korvel {

// The socket layer some platforms want started before the echo facility can be used: Windows
// Sockets 1.1 on Windows, nothing elsewhere. Released when the program ends.
class SocketLayer {
 public:
  SocketLayer() = default;
  ~SocketLayer();
  SocketLayer(const SocketLayer&) = delete;
  SocketLayer& operator=(const SocketLayer&) = delete;

  bool start();

 private:
  bool started_ = false;
};

}  // namespace korvel
