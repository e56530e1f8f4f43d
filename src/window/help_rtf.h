#pragma once

#include <string>
#include <string_view>

namespace korvel::window {

// The help page (UTF-8 HTML with headings, paragraphs, nested bulleted lists, bold and italic) as
// RTF for a Windows rich edit control, so that both windows show one page. Everything outside
// <body>, other tags and scripts' worth of markup are dropped; characters beyond ASCII become
// RTF Unicode escapes, so the result is plain ASCII.
std::string helpPageToRtf(std::string_view html);

}  // namespace korvel::window
