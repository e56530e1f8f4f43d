#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace korvel::test {

// A worked example of a page in docs/: the fenced block after the line
// "<!-- example: NAME -->", one row a line, "OFFSET: HH HH ...  # what they are", the offset in
// hexadecimal and equal to the number of bytes before the row.
struct DocsExample {
  std::string name;
  Bytes bytes;
  std::string problem;  // empty when the block parsed
};

// The examples of `page`, in order.
std::vector<DocsExample> docsExamples(const std::filesystem::path& page);

// The page's example `name`; its problem says so when there is none by that name.
DocsExample docsExample(const std::filesystem::path& page, std::string_view name);

// The project's docs/ folder.
std::filesystem::path docsFolder();

}  // namespace korvel::test
