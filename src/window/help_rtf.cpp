#include "window/help_rtf.h"

#include <cctype>
#include <cstdint>
#include <optional>

#include "common/utf8.h"

namespace korvel::window {
namespace {

constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1{\\fonttbl{\\f0\\fswiss Tahoma;}}\\f0\\fs18\n";
constexpr int kIndentPerLevel = 360;  // twips
constexpr int kBulletHang = 240;
// Room between the page's text and the window's edges, as a printed page has.
constexpr std::string_view kPageMargins = "\\li180\\ri180";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// One character at `pos`; advances `pos`. A malformed byte reads as U+FFFD and is skipped.
char32_t characterAt(std::string_view text, std::size_t& pos) {
  if (const auto c = decodeUtf8(text, pos)) return *c;
  ++pos;
  return U'\uFFFD';
}

void appendUnit(std::string& out, std::uint16_t unit) {
  // RTF takes the number as a signed 16-bit value.
  out += "\\u" + std::to_string(static_cast<std::int16_t>(unit)) + "?";
}

void appendCharacter(std::string& out, char32_t c) {
  if (c == '\\' || c == '{' || c == '}') {
    out += '\\';
    out += static_cast<char>(c);
  } else if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x10000) {
    appendUnit(out, static_cast<std::uint16_t>(c));
  } else {
    const char32_t v = c - 0x10000;
    appendUnit(out, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
    appendUnit(out, static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
  }
}

std::optional<char32_t> decodeEntity(std::string_view name) {
  if (name == "amp") return U'&';
  if (name == "lt") return U'<';
  if (name == "gt") return U'>';
  if (name == "quot") return U'"';
  if (name == "apos") return U'\'';
  if (name == "nbsp") return U'\u00A0';
  if (name.size() > 1 && name[0] == '#') {
    char32_t value = 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    for (std::size_t i = hex ? 2 : 1; i < name.size(); ++i) {
      const int digit = std::isxdigit(static_cast<unsigned char>(name[i]))
                            ? (std::isdigit(static_cast<unsigned char>(name[i]))
                                   ? name[i] - '0'
                                   : std::tolower(static_cast<unsigned char>(name[i])) - 'a' + 10)
                            : 99;
      if (digit >= (hex ? 16 : 10)) return std::nullopt;
      value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
      if (value > 0x10FFFF) return std::nullopt;
    }
    return value;
  }
  return std::nullopt;
}

class RtfWriter {
 public:
  RtfWriter() : out_(kHeader) {}

  void openTag(std::string_view tag) {
    if (tag == "h2" || tag == "h1" || tag == "h3") {
      openParagraph("\\sb240\\sa120\\b\\fs24 ");
    } else if (tag == "p") {
      openParagraph("\\sa120 ");
    } else if (tag == "ul" || tag == "ol") {
      closeParagraph();
      ++depth_;
    } else if (tag == "li") {
      const int indent = 180 + kIndentPerLevel * (depth_ > 0 ? depth_ : 1);
      openParagraph("\\sa60\\fi-" + std::to_string(kBulletHang) + "\\li" + std::to_string(indent) +
                    "\\tx" + std::to_string(indent) + " \\bullet\\tab ");
    } else if (tag == "br") {
      if (open_) out_ += "\\line ";
    } else if (tag == "b" || tag == "strong") {
      inParagraph();
      out_ += "\\b ";
    } else if (tag == "i" || tag == "em") {
      inParagraph();
      out_ += "\\i ";
    }
  }

  void closeTag(std::string_view tag) {
    if (tag == "h1" || tag == "h2" || tag == "h3" || tag == "p" || tag == "li") {
      closeParagraph();
    } else if (tag == "ul" || tag == "ol") {
      closeParagraph();
      if (depth_ > 0) --depth_;
    } else if (tag == "b" || tag == "strong") {
      out_ += "\\b0 ";
    } else if (tag == "i" || tag == "em") {
      out_ += "\\i0 ";
    }
  }

  void character(char32_t c) {
    if (c == ' ') {
      pendingSpace_ = open_ && !atParagraphStart_;
      return;
    }
    inParagraph();
    if (pendingSpace_) out_ += ' ';
    pendingSpace_ = false;
    atParagraphStart_ = false;
    appendCharacter(out_, c);
  }

  std::string finish() {
    closeParagraph();
    out_ += "}\n";
    return std::move(out_);
  }

 private:
  void openParagraph(const std::string& format) {
    closeParagraph();
    // Every paragraph starts from plain text, so that no format of one reaches the next.
    out_ += "\\pard\\plain\\fs18";
    out_ += kPageMargins;
    out_ += format;
    open_ = true;
    atParagraphStart_ = true;
    pendingSpace_ = false;
  }

  // Text and character formats outside any block go into a plain paragraph of their own.
  void inParagraph() {
    if (!open_) openParagraph("\\sa120 ");
  }

  void closeParagraph() {
    if (!open_) return;
    out_ += "\\par\n";
    open_ = false;
    pendingSpace_ = false;
  }

  std::string out_;
  int depth_ = 0;
  bool open_ = false;
  bool atParagraphStart_ = true;
  bool pendingSpace_ = false;
};

// The page's body: from after <body ...> to </body>, or the whole text without a body element.
std::string_view bodyOf(std::string_view html) {
  const std::string folded = lower(html);
  const std::size_t body = folded.find("<body");
  if (body == std::string::npos) return html;
  const std::size_t start = folded.find('>', body);
  if (start == std::string::npos) return {};
  const std::size_t end = folded.find("</body", start);
  return html.substr(start + 1, (end == std::string::npos ? html.size() : end) - start - 1);
}

std::string tagName(std::string_view inside) {
  std::size_t end = 0;
  while (end < inside.size() && !isSpace(inside[end]) && inside[end] != '/' && inside[end] != '>') {
    ++end;
  }
  return lower(inside.substr(0, end));
}

}  // namespace

std::string helpPageToRtf(std::string_view html) {
  const std::string_view body = bodyOf(html);
  RtfWriter writer;
  std::size_t pos = 0;
  while (pos < body.size()) {
    const char c = body[pos];
    if (c == '<') {
      const std::size_t close = body.find('>', pos);
      if (close == std::string_view::npos) break;
      std::string_view inside = body.substr(pos + 1, close - pos - 1);
      pos = close + 1;
      if (!inside.empty() && inside[0] == '/') {
        writer.closeTag(tagName(inside.substr(1)));
      } else if (!inside.empty() && inside[0] != '!') {
        writer.openTag(tagName(inside));
      }
    } else if (c == '&') {
      const std::size_t semicolon = body.find(';', pos);
      const std::optional<char32_t> entity =
          semicolon == std::string_view::npos || semicolon - pos > 10
              ? std::nullopt
              : decodeEntity(body.substr(pos + 1, semicolon - pos - 1));
      if (entity) {
        writer.character(*entity);
        pos = semicolon + 1;
      } else {
        writer.character(U'&');
        ++pos;
      }
    } else if (isSpace(c)) {
      writer.character(U' ');
      ++pos;
    } else {
      writer.character(characterAt(body, pos));
    }
  }
  return writer.finish();
}

}  // namespace korvel::window
