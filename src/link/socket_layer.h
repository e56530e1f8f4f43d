#pragma once

namespace korvel {

// Windows Sockets 1.1 for the life of the program, as the window and the command line start it:
// false when the layer cannot be had in exactly that version (the program then refuses to start,
// saying text::kSocketsFailed). Nothing to do on other systems.
bool startSocketLayer();
void stopSocketLayer();

}  // namespace korvel
