#include "cli/run_cli.h"

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

#include "cli/cli_panel.h"
#include "cli/dotted_address.h"
#include "common/texts.h"
#include "common/utf8.h"
#include "image/image_summary.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

constexpr char kProgramName[] = "korvel-cli";

struct CliArguments {
  std::string address;
  std::string login;
  std::string password;
  bool passwordFromStdin = false;
  std::string imagePath;
  bool viaBoot = false;
};

// Shown instead of CLI11's terse default: what was wrong, then how the command is used.
std::string usageMessage(const CLI::App* app, const CLI::Error& error) {
  return std::string(kProgramName) + ": " + error.what() + "\n\n" + app->help();
}

const CLI::Validator& dottedAddress() {
  static const CLI::Validator validator(
      [](std::string& text) -> std::string {
        if (parseDottedAddress(text)) return {};
        return "'" + text + "' is not four dotted decimal numbers 0 to 255";
      },
      "");
  return validator;
}

void addDeviceOptions(CLI::App& command, CliArguments& arguments) {
  command.add_option("--ip", arguments.address, "IPv4 address of the device")
      ->required()
      ->type_name("A.B.C.D")
      ->check(dottedAddress());
  command.add_option("--login", arguments.login, "login of the device's web interface")
      ->type_name("LOGIN");
  auto* password =
      command.add_option("--password", arguments.password, "password of the web interface")
          ->type_name("PASSWORD");
  auto* passwordStdin = command.add_flag(
      "--password-stdin", arguments.passwordFromStdin,
      "read the password from the first line of standard input (it stays out of the process list)");
  password->excludes(passwordStdin);
  passwordStdin->excludes(password);
}

// The first line of standard input without its line ending, "\n" or "\r\n".
std::optional<std::string> readPasswordLine(std::istream& in) {
  std::string line;
  if (!std::getline(in, line) && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool isDeviceInfo(const std::optional<std::string>& text) {
  if (!text || text->empty()) return false;
  for (const std::string_view failure :
       {text::kCommError, text::kNoAnswer, text::kDeviceError, text::kCredentialsTooLong,
        text::kCredentialsBadCharacter}) {
    if (*text == failure) return false;
  }
  return !text->starts_with(text::kNoIcmpAccess);
}

bool isSummary(const std::string& text) { return text.starts_with('\''); }

CliRequest requestFrom(const CliArguments& arguments) {
  CliRequest request;
  request.ipAddress = parseDottedAddress(arguments.address).value_or(0);
  request.login = arguments.login;
  request.password = arguments.password;
  request.imagePath = arguments.imagePath;
  request.viaBoot = arguments.viaBoot;
  return request;
}

int runInfo(const CliArguments& arguments, std::ostream& out, std::ostream& err,
            CliEnvironment& environment) {
  CliPanel panel(requestFrom(arguments), err, environment);
  {
    DeviceProgrammer programmer(panel, environment.echoService(), environment.pauses());
    programmer.queryDeviceInfo();
  }
  panel.endProgress();
  out << infoLines(panel.infoText().value_or(std::string())) << std::flush;
  return isDeviceInfo(panel.infoText()) ? kExitSuccess : kExitFailure;
}

int runProgram(const CliArguments& arguments, std::ostream& out, std::ostream& err,
               CliEnvironment& environment) {
  CliPanel panel(requestFrom(arguments), err, environment, &out);
  {
    DeviceProgrammer programmer(panel, environment.echoService(), environment.pauses());
    programmer.programDevice();
  }
  panel.endProgress();
  return panel.warningShown() ? kExitFailure : kExitSuccess;
}

int runSummary(const CliArguments& arguments, std::ostream& out, std::ostream& err,
               CliEnvironment& environment) {
  CliPanel panel(requestFrom(arguments), err, environment);
  panel.setSummaryText(imageSummary(pathFromUtf8(arguments.imagePath)));
  out << panel.summaryText() << '\n' << std::flush;
  return isSummary(panel.summaryText()) ? kExitSuccess : kExitFailure;
}

}  // namespace

int runCli(int argc, const char* const* argv, std::istream& in, std::ostream& out,
           std::ostream& err, CliEnvironment& environment) {
  CliArguments arguments;
  CLI::App app("Programs firmware images into networked devices over ICMP echo.", kProgramName);
  app.require_subcommand(1);
  // An image path such as /home/op/x.qlxfw is an argument, never a Windows-style /option.
  app.allow_windows_style_options(false);
  app.failure_message(usageMessage);

  auto* info = app.add_subcommand(
      "info", "Ask the device for its board id, serial number, texts and versions.");
  addDeviceOptions(*info, arguments);

  auto* program = app.add_subcommand(
      "program", "Program an image into the device or into a subordinate on its bus.");
  program->add_option("IMAGE", arguments.imagePath, "firmware image file (*.qlxfw)")
      ->required()
      ->type_name("FILE");
  addDeviceOptions(*program, arguments);
  program->add_flag("--via-boot", arguments.viaBoot,
                    "the device already waits in its boot monitor (started by hand)");

  auto* summary =
      app.add_subcommand("summary", "Show the name, version and bus address of an image.");
  summary->add_option("IMAGE", arguments.imagePath, "firmware image file (*.qlxfw)")
      ->required()
      ->type_name("FILE");

  try {
    app.parse(argc, argv);
    if (arguments.passwordFromStdin) {
      const auto line = readPasswordLine(in);
      if (!line) throw CLI::ValidationError("--password-stdin", "standard input holds no line");
      arguments.password = *line;
    }
  } catch (const CLI::ParseError& error) {
    return app.exit(error, out, err) == kExitSuccess ? kExitSuccess : kExitUsage;
  }

  if (info->parsed()) return runInfo(arguments, out, err, environment);
  if (program->parsed()) return runProgram(arguments, out, err, environment);
  return runSummary(arguments, out, err, environment);
}

}  // namespace korvel
