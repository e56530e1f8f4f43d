#include "cli/output/device_report.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "cli/output/target_text.h"

namespace korvel {
namespace {

// The interface column comes first and only when some device was reached through one.
constexpr std::size_t kColumns = 7;
using Row = std::array<std::string, kColumns>;
constexpr char kNothing[] = "-";

std::string oneDecimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// The serial as the information text shows it after "№".
std::string serialText(std::uint32_t serial) {
  return std::to_string(serial >> 16) + "." + std::to_string(serial & 0xFFFF);
}

Row rowOf(const DeviceResult& result) {
  return {result.interfaceName.empty() ? kNothing : result.interfaceName,
          result.address.dotted(),
          result.info ? boardIdText(result.info->boardId) : kNothing,
          result.info ? serialText(result.info->serial) : kNothing,
          std::string(outcomeName(result.outcome.kind)),
          std::to_string(result.bytesDone),
          oneDecimal(result.seconds)};
}

// Texts left-aligned, numbers right-aligned.
void appendRow(std::string& table, const Row& row, const std::array<std::size_t, kColumns>& widths,
               std::size_t firstColumn) {
  constexpr std::array<bool, kColumns> kRightAligned{false, false, false, false, false, true, true};
  std::string line;
  for (std::size_t column = firstColumn; column < kColumns; ++column) {
    const std::string padding(widths[column] - row[column].size(), ' ');
    if (column > firstColumn) line += "  ";
    line += kRightAligned[column] ? padding + row[column] : row[column] + padding;
  }
  line.erase(line.find_last_not_of(' ') + 1);
  table += line + '\n';
}

std::string indentedMessage(const std::string& text) {
  std::string lines;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines += (lines.empty() ? "" : "\n  ") + text.substr(start, end - start);
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string programmedLine(const RunOutcome& run, double seconds) {
  return "Programmed " + std::to_string(run.dataBytes) + " bytes in " +
         std::to_string(run.dataRecords) + (run.dataRecords == 1 ? " record" : " records") +
         " into the " + targetText(run.target) + " in " + oneDecimal(seconds) + " s\n";
}

std::string leftBehindLine(const DeviceResult& result) {
  if (!result.run.subordinateLeftAtProgrammingAddress) return {};
  return "The subordinate was left at the programming address 254 without its own address given "
         "back\n";
}

std::string deviceLabel(const DeviceResult& result) {
  const std::string address = result.address.dotted();
  return result.interfaceName.empty() ? address : result.interfaceName + " " + address;
}

std::string finishedLine(const DeviceResult& result) {
  const std::string address = deviceLabel(result) + ": ";
  std::string notices;
  for (const std::string& notice : result.notices) notices += address + notice + "\n";
  if (result.outcome.kind == OutcomeKind::Skipped)
    return notices + address + result.outcome.text + "\n";
  const std::string leftBehind = leftBehindLine(result);
  const std::string ending = leftBehind.empty() ? "" : address + leftBehind;
  if (result.outcome.succeeded()) {
    return notices + address + programmedLine(result.run, result.seconds) + ending;
  }
  const std::string done = " after " + std::to_string(result.bytesDone) + " bytes in " +
                           oneDecimal(result.seconds) + " s";
  if (result.outcome.kind == OutcomeKind::Interrupted) {
    return notices + address + "interrupted" + done + "\n" + ending;
  }
  return notices + address + "failed (" + std::string(outcomeName(result.outcome.kind)) + ")" +
         done + ": " + indentedMessage(result.outcome.text) + "\n" + ending;
}

std::string resultTable(const std::vector<DeviceResult>& results) {
  std::vector<Row> rows{
      {"INTERFACE", "ADDRESS", "BOARD ID", "SERIAL", "OUTCOME", "BYTES", "SECONDS"}};
  for (const DeviceResult& result : results) rows.push_back(rowOf(result));
  const bool anyInterface = std::any_of(results.begin(), results.end(), [](const auto& result) {
    return !result.interfaceName.empty();
  });
  std::array<std::size_t, kColumns> widths{};
  for (const Row& row : rows) {
    for (std::size_t column = 0; column < kColumns; ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string table;
  for (const Row& row : rows) appendRow(table, row, widths, anyInterface ? 0 : 1);
  return table;
}

}  // namespace korvel
