#pragma once

#include <string>
#include <vector>

namespace korvel {

// The program's arguments in UTF-8, as the rest of the program takes every text. Windows hands
// main() its arguments in the ANSI code page, which cannot hold every name an operator gives a
// folder; there they are read again from the UTF-16 command line.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Lets a console show the UTF-8 the program writes (a Windows console starts with its OEM code
// page); elsewhere makes a closed standard output a write error rather than the end of the
// process.
void prepareConsole();

}  // namespace korvel
