#include "cli/options/demand_options.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <limits>
#include <string>

namespace korvel {

std::optional<std::uint32_t> parseBoardId(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  // from_chars takes no sign or prefix of its own, so only digits get through.
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void DemandOptions::addTo(CLI::App& command, bool run) {
  command
      .add_option_function<std::string>(
          "--expect-board",
          [this](const std::string& text) {
            boardId = parseBoardId(text);
            if (!boardId) {
              throw CLI::ValidationError("--expect-board",
                                         "'" + text +
                                             "' is not a board id: 0x and up "
                                             "to 8 hexadecimal digits, or decimal");
            }
          },
          "the board id every device must report (0x12AB or decimal); another board gets no "
          "request after the information query")
      ->type_name("ID");
  if (!run) return;
  command.add_flag("--no-downgrade", noDowngrade,
                   "refuse an image for the device itself whose version is lower than the "
                   "device's program version");
  command
      .add_option("--max-failures", maxFailures,
                  "start no further device once N devices have failed; the rest are skipped")
      ->type_name("N")
      ->check(CLI::Range(std::size_t{1}, std::numeric_limits<std::size_t>::max()).description(""));
}

}  // namespace korvel
