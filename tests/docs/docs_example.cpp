#include "docs_example.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace korvel::test {
namespace {

constexpr std::string_view kMarker = "<!-- example: ";

bool isHexByte(std::string_view word) {
  return word.size() == 2 && std::isxdigit(static_cast<unsigned char>(word[0])) &&
         std::isxdigit(static_cast<unsigned char>(word[1]));
}

// One row into `example`; false, with the problem written, when the row is not one.
bool takeRow(const std::string& line, int lineNumber, DocsExample& example) {
  const std::string row = line.substr(0, line.find('#'));
  const auto colon = row.find(':');
  const auto fail = [&](const std::string& why) {
    example.problem = "line " + std::to_string(lineNumber) + ": " + why;
    return false;
  };
  if (colon == std::string::npos) return fail("no 'OFFSET:'");
  std::size_t offset = 0;
  try {
    std::size_t used = 0;
    offset = std::stoul(row.substr(0, colon), &used, 16);
    if (used != colon) return fail("offset is not hexadecimal");
  } catch (const std::exception&) {
    return fail("offset is not hexadecimal");
  }
  if (offset != example.bytes.size()) {
    return fail("offset " + row.substr(0, colon) + " after " +
                std::to_string(example.bytes.size()) + " bytes");
  }
  std::istringstream words(row.substr(colon + 1));
  std::string word;
  int count = 0;
  while (words >> word) {
    if (!isHexByte(word)) return fail("'" + word + "' is not a byte in hexadecimal");
    example.bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    ++count;
  }
  return count > 0 || fail("a row without bytes");
}

}  // namespace

std::vector<DocsExample> docsExamples(const std::filesystem::path& page) {
  std::vector<DocsExample> examples;
  std::ifstream in(page);
  std::string line;
  int lineNumber = 0;
  enum class State { Prose, BeforeBlock, InBlock } state = State::Prose;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const bool fence = line.rfind("```", 0) == 0;
    if (state == State::Prose && line.rfind(kMarker, 0) == 0) {
      const auto end = line.find(" -->");
      examples.push_back({line.substr(kMarker.size(), end - kMarker.size()), {}, {}});
      if (end == std::string::npos) examples.back().problem = "marker without ' -->'";
      state = State::BeforeBlock;
    } else if (state == State::BeforeBlock && fence) {
      state = State::InBlock;
    } else if (state == State::BeforeBlock && !line.empty()) {
      examples.back().problem = "no ``` block right after the marker";
      state = State::Prose;
    } else if (state == State::InBlock && fence) {
      if (examples.back().bytes.empty() && examples.back().problem.empty()) {
        examples.back().problem = "an empty block";
      }
      state = State::Prose;
    } else if (state == State::InBlock && examples.back().problem.empty()) {
      takeRow(line, lineNumber, examples.back());
    }
  }
  if (state != State::Prose && examples.back().problem.empty()) {
    examples.back().problem = "the block never ends";
  }
  return examples;
}

DocsExample docsExample(const std::filesystem::path& page, std::string_view name) {
  for (DocsExample& example : docsExamples(page)) {
    if (example.name == name) return example;
  }
  return {std::string(name), {}, "no example '" + std::string(name) + "' in " + page.string()};
}

std::filesystem::path docsFolder() { return std::filesystem::path(KORVEL_SOURCE_DIR) / "docs"; }

}  // namespace korvel::test
