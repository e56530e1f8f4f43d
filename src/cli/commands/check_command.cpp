#include <CLI/CLI.hpp>

#include "cli/commands/command_table.h"
#include "cli/options/output_options.h"
#include "cli/output/image_facts.h"
#include "cli/output/json_lines.h"
#include "cli/output/target_text.h"
#include "cli/run/image_precheck.h"
#include "cli/run_cli.h"
#include "common/texts.h"
#include "programming/image_check.h"

namespace korvel {
namespace {

class CheckCommand : public CliCommand {
 public:
  std::string_view name() const override { return "check"; }
  std::string_view description() const override {
    return "Check a whole image as a run would, without a device: records, bytes, target.";
  }
  void addOptions(CLI::App& command) override {
    command.add_option("IMAGE", imagePath_, "firmware image file (*.qlxfw)")
        ->required()
        ->type_name("FILE");
    output_.addJson(command);
  }

  int run(CliContext& context) override {
    std::ostream& out = context.out;
    const auto checked = checkImageFile(imagePath_, false);
    if (!checked) {
      if (output_.json) {
        writeJson(out, outcomeOf(OutcomeKind::FileCannotOpen));
      } else {
        out << text::kOpenFailed << '\n' << std::flush;
      }
      return kExitFailure;
    }
    const ImageCheck& check = *checked;
    if (output_.json) {
      writeJson(out, check.failure ? Outcome{check.failureKind, *check.failure} : Outcome{},
                &check);
      return check.failure ? kExitFailure : kExitSuccess;
    }
    if (check.failure) {
      out << checkFailureLine(check) << '\n' << std::flush;
      return kExitFailure;
    }
    out << check.records << (check.records == 1 ? " record, " : " records, ") << check.dataBytes
        << " data bytes, " << targetText(check.target) << '\n'
        << std::flush;
    return kExitSuccess;
  }

 private:
  // One line: the outcome, and either where the image fails or what it holds.
  void writeJson(std::ostream& out, const Outcome& outcome, const ImageCheck* check = nullptr) {
    JsonObject line = jsonHead("check");
    line["image"] = imagePath_;
    line["outcome"] = outcomeName(outcome.kind);
    line["text"] = outcome.text;
    if (check && check->failure) {
      line["record"] = check->failedRecord;
      line["offset"] = check->failedOffset;
    } else if (check) {
      line["records"] = check->records;
      line["data_records"] = check->dataRecords;
      line["data_bytes"] = check->dataBytes;
      if (check->target) {
        addTarget(line, *check->target);
      } else {
        line["target"] = nullptr;
        line["bus_address"] = nullptr;
      }
    }
    out << jsonLine(line) << '\n' << std::flush;
  }

  std::string imagePath_;
  OutputOptions output_;
};

}  // namespace

std::unique_ptr<CliCommand> makeCheckCommand() { return std::make_unique<CheckCommand>(); }

}  // namespace korvel
