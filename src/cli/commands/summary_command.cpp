#include <CLI/CLI.hpp>

#include "cli/commands/command_table.h"
#include "cli/options/output_options.h"
#include "cli/output/image_facts.h"
#include "cli/output/json_lines.h"
#include "cli/output/terminal_text.h"
#include "cli/run_cli.h"
#include "common/utf8.h"
#include "image/image_summary.h"

namespace korvel {
namespace {

class SummaryCommand : public CliCommand {
 public:
  std::string_view name() const override { return "summary"; }
  std::string_view description() const override {
    return "Show the name, version and bus address of an image.";
  }
  void addOptions(CLI::App& command) override {
    command.add_option("IMAGE", imagePath_, "firmware image file (*.qlxfw)")
        ->required()
        ->type_name("FILE");
    output_.addJson(command);
  }

  // The summary field's text, controls in the image's name escaped.
  int run(CliContext& context) override {
    const ImageSummary summary = summarizeImage(pathFromUtf8(imagePath_));
    if (output_.json) {
      context.out << jsonLine(summaryJson(summary)) << '\n' << std::flush;
    } else {
      context.out << escapeControls(summary.text) << '\n' << std::flush;
    }
    return summary.read ? kExitSuccess : kExitFailure;
  }

 private:
  // The summary field's text and, when the image could be read, the same field by field.
  JsonObject summaryJson(const ImageSummary& summary) const {
    JsonObject line = jsonHead("summary");
    line["image"] = imagePath_;
    line["read"] = summary.read;
    line["text"] = summary.text;
    if (summary.read) {
      line["name"] = summary.name;
      line["name_cut"] = summary.nameCut;
      line["version"] =
          std::to_string(summary.versionMajor) + "." + std::to_string(summary.versionMinor);
      addTarget(line, summary.busAddress);
    }
    return line;
  }

  std::string imagePath_;
  OutputOptions output_;
};

}  // namespace

std::unique_ptr<CliCommand> makeSummaryCommand() { return std::make_unique<SummaryCommand>(); }

}  // namespace korvel
