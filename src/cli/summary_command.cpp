#include <CLI/CLI.hpp>

#include "cli/cli_commands.h"
#include "cli/run_cli.h"
#include "cli/terminal_text.h"
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
  }

  // The summary field's text, controls in the image's name escaped.
  int run(CliContext& context) override {
    const ImageSummary summary = summarizeImage(pathFromUtf8(imagePath_));
    context.out << escapeControls(summary.text) << '\n' << std::flush;
    return summary.read ? kExitSuccess : kExitFailure;
  }

 private:
  std::string imagePath_;
};

}  // namespace

std::unique_ptr<CliCommand> makeSummaryCommand() { return std::make_unique<SummaryCommand>(); }

}  // namespace korvel
