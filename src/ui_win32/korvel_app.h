#pragma once

namespace korvel {

// The application on Windows: starts Windows Sockets, runs the main window modally and ends
// when it has closed.
class CKorvelApp {
 public:
  // The exit code: 0 once the window has closed, 1 when the socket layer would not start.
  int run();
};

}  // namespace korvel
