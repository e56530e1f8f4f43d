#pragma once

namespace korvel::control {

// The numbers the main window's controls have always carried; tests and UI automation find the
// controls by them.
inline constexpr int kExit = 1;
inline constexpr int kProgram = 1001;
inline constexpr int kIpField = 1002;
inline constexpr int kProgress = 1003;
inline constexpr int kPath = 1004;
inline constexpr int kBrowse = 1005;
inline constexpr int kInfo = 1006;
inline constexpr int kInfoBox = 1007;
inline constexpr int kHelp = 1008;
inline constexpr int kSummary = 1009;
inline constexpr int kLogin = 1010;
inline constexpr int kPassword = 1011;
inline constexpr int kViaBoot = 1014;
// The About box's version line, filled in when the box opens.
inline constexpr int kAboutVersion = 1100;
// The two labels share the number every label without a number of its own has.
inline constexpr int kLabel = -1;

}  // namespace korvel::control
