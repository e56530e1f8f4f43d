#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// Each byte becomes the character with the same code (image names).
std::string latin1ToUtf8(std::string_view bytes);

// Device texts come in the Russian Windows code page.
std::string cp1251ToUtf8(std::string_view bytes);

// Each character below U+0100 becomes the byte of the same value; nothing when the text holds
// a character above U+00FF or is not valid UTF-8.
std::optional<std::string> utf8ToLatin1(std::string_view text);

// Number of characters (code points) in valid UTF-8.
std::size_t utf8Length(std::string_view text);

// Decodes one code point at `pos` and moves `pos` past it; nothing, with `pos` left where it
// was, on malformed input (overlong forms and surrogates included).
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& pos);

void appendUtf8(std::string& out, char32_t codePoint);

// A path typed or chosen by the operator (UTF-8), for the file system of this platform.
std::filesystem::path pathFromUtf8(std::string_view text);

}  // namespace korvel
