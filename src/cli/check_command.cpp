#include <CLI/CLI.hpp>

#include "cli/cli_commands.h"
#include "cli/image_precheck.h"
#include "cli/run_cli.h"
#include "cli/target_text.h"
#include "common/texts.h"
#include "common/utf8.h"
#include "image/firmware_image.h"
#include "programming/device_programmer.h"
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
  }

  int run(CliContext& context) override {
    std::ostream& out = context.out;
    auto image = FirmwareImage::open(pathFromUtf8(imagePath_), DeviceProgrammer::kMaxBootRecord);
    if (!image) {
      out << text::kOpenFailed << '\n' << std::flush;
      return kExitFailure;
    }
    const ImageCheck check = checkImage(*image, false);
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
  std::string imagePath_;
};

}  // namespace

std::unique_ptr<CliCommand> makeCheckCommand() { return std::make_unique<CheckCommand>(); }

}  // namespace korvel
