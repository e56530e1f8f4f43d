#include "cli/run_cli.h"

#include <CLI/CLI.hpp>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_panel.h"
#include "cli/dotted_address.h"
#include "cli/terminal_text.h"
#include "common/texts.h"
#include "common/utf8.h"
#include "image/firmware_image.h"
#include "image/image_summary.h"
#include "programming/device_programmer.h"
#include "programming/image_check.h"

namespace korvel {
namespace {

constexpr char kProgramName[] = "korvel-cli";
constexpr std::array<std::string_view, 4> kCommands = {"info", "program", "check", "summary"};
constexpr char kShortUsage[] =
    "Usage: korvel-cli {info|program|check|summary} ... (korvel-cli --help tells more)";

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

// The device's texts reach the terminal with their controls shown, never obeyed; the lock keeps
// a second copy of the program away from the device meanwhile.
void preparePrograms(DeviceProgrammer& programmer, CliPanel& panel, CliEnvironment& environment) {
  programmer.setDeviceTextFilter([](std::string text) { return escapeControls(text); });
  programmer.setDeviceLocks(environment.deviceLocks());
  programmer.setProgressObserver(&panel);
}

std::string targetText(const std::optional<std::uint8_t>& target) {
  if (!target) return "nothing to send";
  if (*target == kNoBusAddress) return "device itself";
  return "subordinate at bus address " + std::to_string(*target);
}

std::string programmedLine(const RunOutcome& outcome, double seconds) {
  char time[32];
  std::snprintf(time, sizeof time, "%.1f", seconds);
  return "Programmed " + std::to_string(outcome.dataBytes) + " bytes in " +
         std::to_string(outcome.dataRecords) + (outcome.dataRecords == 1 ? " record" : " records") +
         " into the " + targetText(outcome.target) + " in " + time + " s\n";
}

// A first word that names no command: say which, in one line of usage, rather than the whole help.
bool isUnknownCommand(int argc, const char* const* argv) {
  if (argc < 2 || argv[1][0] == '-') return false;
  for (const std::string_view command : kCommands) {
    if (command == argv[1]) return false;
  }
  return true;
}

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
  Outcome outcome;
  {
    DeviceProgrammer programmer(panel, environment.echoService(), environment.pauses());
    preparePrograms(programmer, panel, environment);
    outcome = programmer.queryDeviceInfo();
  }
  panel.endProgress();
  out << infoLines(outcome.text) << std::flush;
  return outcome.succeeded() ? kExitSuccess : kExitFailure;
}

int runProgram(const CliArguments& arguments, std::ostream& out, std::ostream& err,
               CliEnvironment& environment) {
  CliPanel panel(requestFrom(arguments), err, environment, &out);
  Outcome outcome;
  RunOutcome delivered;
  const auto start = environment.now();
  {
    DeviceProgrammer programmer(panel, environment.echoService(), environment.pauses());
    preparePrograms(programmer, panel, environment);
    outcome = programmer.programDevice();
    delivered = programmer.lastRun();
  }
  panel.endProgress();
  if (!outcome.succeeded()) return kExitFailure;
  const std::chrono::duration<double> seconds = environment.now() - start;
  err << programmedLine(delivered, seconds.count()) << std::flush;
  return kExitSuccess;
}

int runCheck(const CliArguments& arguments, std::ostream& out) {
  auto image =
      FirmwareImage::open(pathFromUtf8(arguments.imagePath), DeviceProgrammer::kMaxBootRecord);
  if (!image) {
    out << text::kOpenFailed << '\n' << std::flush;
    return kExitFailure;
  }
  const ImageCheck check = checkImage(*image, false);
  if (check.failure) {
    out << *check.failure << " (record " << check.failedRecord << ", byte offset "
        << check.failedOffset << ")\n"
        << std::flush;
    return kExitFailure;
  }
  out << check.records << (check.records == 1 ? " record, " : " records, ") << check.dataBytes
      << " data bytes, " << targetText(check.target) << '\n'
      << std::flush;
  return kExitSuccess;
}

int runSummary(const CliArguments& arguments, std::ostream& out, std::ostream& err,
               CliEnvironment& environment) {
  CliPanel panel(requestFrom(arguments), err, environment);
  const ImageSummary summary = summarizeImage(pathFromUtf8(arguments.imagePath));
  panel.setSummaryText(summary.text);
  out << escapeControls(panel.summaryText()) << '\n' << std::flush;
  return summary.read ? kExitSuccess : kExitFailure;
}

}  // namespace

int runCli(int argc, const char* const* argv, std::istream& in, std::ostream& out,
           std::ostream& err, CliEnvironment& environment) {
  if (isUnknownCommand(argc, argv)) {
    err << kProgramName << ": unknown command '" << escapeControls(argv[1]) << "'\n"
        << kShortUsage << '\n'
        << std::flush;
    return kExitUsage;
  }
  CliArguments arguments;
  CLI::App app("Programs firmware images into networked devices over ICMP echo.", kProgramName);
  app.set_version_flag("--version", text::kVersion);
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

  auto* check = app.add_subcommand(
      "check", "Check a whole image as a run would, without a device: records, bytes, target.");
  check->add_option("IMAGE", arguments.imagePath, "firmware image file (*.qlxfw)")
      ->required()
      ->type_name("FILE");

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
  if (check->parsed()) return runCheck(arguments, out);
  return runSummary(arguments, out, err, environment);
}

}  // namespace korvel
