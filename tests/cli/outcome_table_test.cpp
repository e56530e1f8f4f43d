// The outcome names korvel-cli can write are the ones its documentation and schemas list.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "programming/outcome.h"

namespace korvel {
namespace {

using Names = std::set<std::string>;

std::string sourceText(const std::string& path) {
  std::ifstream in(std::string(KORVEL_SOURCE_DIR) + "/" + path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

Names programNames() {
  Names names;
  for (const OutcomeKind kind : kOutcomeKinds) names.emplace(outcomeName(kind));
  return names;
}

// The text between the first '|' at or after `from` and the next one.
std::string secondCell(const std::string& row, std::size_t from) {
  const std::size_t start = row.find('|', from);
  const std::size_t end = start == std::string::npos ? start : row.find('|', start + 1);
  return end == std::string::npos ? std::string() : row.substr(start + 1, end - start - 1);
}

void eraseAll(std::string& text, const std::string& what, const std::string& with = {}) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
}

// The command-line guide's table: "| exit status | outcome | meaning |", the outcome in backticks.
Names guideNames() {
  std::istringstream in(sourceText("docs/cli.md"));
  Names names;
  bool inTable = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "| exit status | outcome | meaning |") inTable = true;
    if (!inTable) continue;
    if (!line.starts_with("|")) break;
    std::string cell = secondCell(line, 1);
    if (cell.find('`') == std::string::npos) continue;
    eraseAll(cell, "`");
    eraseAll(cell, " ");
    names.insert(cell);
  }
  return names;
}

// The manual page's table under EXIT STATUS: "status|\fBname\fR|T{".
Names manualNames() {
  std::istringstream in(sourceText("data/man/korvel-cli.1"));
  Names names;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(".SH")) inSection = line == ".SH EXIT STATUS";
    if (!inSection || !line.ends_with("|T{")) continue;
    std::string cell = secondCell(line, 0);
    if (!cell.starts_with("\\fB")) continue;
    eraseAll(cell, "\\fB");
    eraseAll(cell, "\\fR");
    eraseAll(cell, "\\-", "-");
    names.insert(cell);
  }
  return names;
}

Names schemaNames(const std::string& path, const nlohmann::json::json_pointer& at) {
  const auto schema = nlohmann::json::parse(sourceText(path));
  Names names;
  for (const auto& name : schema.at(at)) names.insert(name.get<std::string>());
  return names;
}

TEST(OutcomeTable, EveryPlaceListsExactlyTheProgramsOutcomes) {
  const Names expected = programNames();
  EXPECT_EQ(expected.size(), std::size(kOutcomeKinds));
  EXPECT_EQ(guideNames(), expected);
  EXPECT_EQ(manualNames(), expected);
  EXPECT_EQ(schemaNames("data/korvel-cli-events.schema.json",
                        nlohmann::json::json_pointer("/$defs/outcome/enum")),
            expected);
  EXPECT_EQ(schemaNames("data/korvel-cli-log.schema.json",
                        nlohmann::json::json_pointer("/properties/outcome/enum")),
            expected);
}

}  // namespace
}  // namespace korvel
