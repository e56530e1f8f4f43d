#pragma once

#include <string>
#include <string_view>

namespace korvel {

// The program's texts are UTF-8; Windows takes UTF-16.
std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);

}  // namespace korvel
