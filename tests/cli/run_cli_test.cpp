#include "cli/run_cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "cli/commands/command_table.h"
#include "cli_test_environment.h"
#include "common/texts.h"
#include "device_model/image_builder.h"
#include "link/command_envelope.h"
#include "link/echo_link.h"
#include "link/frame_header.h"
#include "link/scramble_credentials.h"
#include "support/device_replies.h"
#include "support/scripted_echo_service.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

using test::CliResult;
using test::runCliWith;

constexpr char kInfoLines[] = "'BOOT'\nBoard Id=0x000012AB №3.7 Boot v1.2\n'MAIN'\nv2.5\n";

// "login:password" as the device unscrambles it from a request.
std::string credentialsOf(ByteView frame) {
  CredentialField field;
  const auto start = frame.begin() + FrameHeader::kSize + envelope::kCredentialsOffset;
  std::copy_n(start, field.size(), field.begin());
  const auto key = tokenKey(FrameHeader::read(frame).token);
  ScrambleCredentials(field.data(), static_cast<std::int32_t>(field.size()), key.data(),
                      static_cast<std::int32_t>(key.size()));
  return std::string(field.begin(), std::find(field.begin(), field.end(), 0));
}

class RunCliTest : public ::testing::Test {
 protected:
  void answerInfo(std::uint8_t status = 1) {
    echo.responder = [status](ByteView request) {
      return test::replyTo(request, status, 77, test::writeSampleInfo);
    };
  }

  // A usage error: exit 2, the command's usage on stderr, nothing on stdout, no device contacted.
  void expectUsageError(const std::vector<std::string>& args, const std::string& usage,
                        const std::string& input = {}) {
    const CliResult result = runCliWith(environment, args, input);
    std::string shown;
    for (const auto& arg : args) shown += arg + " ";
    EXPECT_EQ(result.exitCode, kExitUsage) << shown;
    EXPECT_TRUE(result.err.starts_with("korvel-cli: ")) << shown << "\n" << result.err;
    EXPECT_NE(result.err.find("Usage: " + usage), std::string::npos) << shown << "\n" << result.err;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_EQ(echo.opened, 0) << shown;
  }

  test::ScriptedEchoService echo;
  test::TestCliEnvironment environment{echo};
  test::TempDir dir;
};

TEST_F(RunCliTest, AddressesThatAreNotFourDottedNumbersAreUsageErrors) {
  for (const char* address : {"1.2.3", "256.1.1.1", "a.b.c.d", "1.2.3.4.5", ""}) {
    expectUsageError({"info", "--ip", address}, "korvel-cli info");
    expectUsageError({"program", "image.qlxfw", "--ip", address}, "korvel-cli program");
  }
  const CliResult result = runCliWith(environment, {"info", "--ip", "256.1.1.1"});
  EXPECT_NE(result.err.find("'256.1.1.1' is not four dotted decimal numbers 0 to 255"),
            std::string::npos);
}

TEST_F(RunCliTest, MissingOrWrongArgumentsAreUsageErrors) {
  expectUsageError({}, "korvel-cli [OPTIONS] SUBCOMMAND");
  expectUsageError({"info"}, "korvel-cli info");
  expectUsageError({"info", "--ip"}, "korvel-cli info");
  expectUsageError({"info", "--ip", "1.2.3.4", "--bogus"}, "korvel-cli info");
  expectUsageError({"info", "--ip", "1.2.3.4", "--via-boot"}, "korvel-cli info");
  expectUsageError({"info", "--ip", "1.2.3.4", "extra"}, "korvel-cli info");
  expectUsageError({"program", "--ip", "1.2.3.4"}, "korvel-cli program");
  expectUsageError({"program", "image.qlxfw"}, "korvel-cli program");
  expectUsageError({"summary"}, "korvel-cli summary");
  expectUsageError({"summary", "a.qlxfw", "b.qlxfw"}, "korvel-cli summary");
  expectUsageError({"summary", "a.qlxfw", "--ip", "1.2.3.4"}, "korvel-cli summary");
}

TEST_F(RunCliTest, AnUnknownCommandIsNamedWithAOneLineUsage) {
  const CliResult result = runCliWith(environment, {"flash", "--ip", "1.2.3.4"});
  EXPECT_EQ(result.exitCode, kExitUsage);
  EXPECT_EQ(result.err,
            "korvel-cli: unknown command 'flash'\n"
            "Usage: korvel-cli {info|program|check|summary} ... (korvel-cli --help tells more)\n");
  EXPECT_EQ(result.out, "");
  // Even a word made to play with the terminal is shown, not obeyed.
  EXPECT_EQ(runCliWith(environment, {"\x1b[2J"}).err.substr(0, 38),
            "korvel-cli: unknown command '\\x1B[2J'\n");
}

// A subcommand is a row of the table: its word leads to its own help, and the one-line usage
// names it.
TEST_F(RunCliTest, EveryCommandOfTheTableIsReachedByItsWord) {
  const auto commands = makeCliCommands();
  ASSERT_EQ(commands.size(), 4u);
  const std::string usage = runCliWith(environment, {"flash"}).err;
  std::set<std::string_view> words;
  for (const auto& command : commands) {
    EXPECT_TRUE(words.insert(command->name()).second) << command->name();
    const std::string word(command->name());
    const CliResult help = runCliWith(environment, {word, "--help"});
    EXPECT_EQ(help.exitCode, kExitSuccess) << word;
    EXPECT_NE(help.out.find("Usage: korvel-cli " + word + " [OPTIONS]"), std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find(std::string(command->description())), std::string::npos) << help.out;
    EXPECT_NE(usage.find(word), std::string::npos) << usage;
  }
}

TEST_F(RunCliTest, VersionIsTheProgramsOwn) {
  const CliResult result = runCliWith(environment, {"--version"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, std::string(text::kVersion) + "\n");
}

TEST_F(RunCliTest, CheckWalksTheWholeImageWithoutADevice) {
  const Bytes record = samplePayload(100, 1);
  const auto check = [&](const Bytes& image) {
    return runCliWith(environment, {"check", dir.write("image.qlxfw", image).string()});
  };
  CliResult result = check(ImageBuilder().name("A").data(12, record).data(12, record).bytes());
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, "3 records, 200 data bytes, device itself\n");

  result = check(ImageBuilder().address(7).data(3, record).bytes());
  EXPECT_EQ(result.out, "2 records, 100 data bytes, subordinate at bus address 7\n");

  // The fault in the third record, which starts at byte 110.
  result = check(ImageBuilder().data(12, record).version(1, 2).data(13, record).bytes());
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out,
            std::string(text::kUnsupportedPacketType) + " (record 3, byte offset 110)\n");

  result = check(ImageBuilder().data(12, record).raw({0xAA, 0x0C, 0xFF}).bytes());
  EXPECT_EQ(result.out, std::string(text::kFormatError) + " (record 2, byte offset 106)\n");

  result = runCliWith(environment, {"check", (dir.path() / "missing.qlxfw").string()});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kOpenFailed) + "\n");
  EXPECT_EQ(echo.opened, 0);
}

TEST_F(RunCliTest, SummaryShowsControlsInTheNameEscaped) {
  const std::string name = "A\x1b[31m\x07\x7f\x85\x9b";
  const auto path =
      dir.write("image.qlxfw", ImageBuilder().name(name).data(12, samplePayload(80, 1)).bytes());
  const CliResult result = runCliWith(environment, {"summary", path.string()});
  EXPECT_EQ(result.out, "'A\\x1B[31m\\x07\\x7F\\x85\\x9B' v0.0\n");
}

TEST_F(RunCliTest, PasswordComesFromOnePlaceOnly) {
  expectUsageError({"info", "--ip", "1.2.3.4", "--password", "x", "--password-stdin"},
                   "korvel-cli info", "y\n");
  expectUsageError({"program", "a.qlxfw", "--ip", "1.2.3.4", "--password-stdin", "--password", "x"},
                   "korvel-cli program", "y\n");
  // Standard input already at its end has no password to give.
  expectUsageError({"info", "--ip", "1.2.3.4", "--password-stdin"}, "korvel-cli info", "");
}

TEST_F(RunCliTest, HelpForEachCommandGoesToStandardOutput) {
  for (const auto& [args, usage] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--help"}, "korvel-cli [OPTIONS] SUBCOMMAND"},
           {{"info", "--help"}, "korvel-cli info [OPTIONS]"},
           {{"program", "--help"}, "korvel-cli program [OPTIONS] IMAGE"},
           {{"summary", "-h"}, "korvel-cli summary [OPTIONS] IMAGE"}}) {
    const CliResult result = runCliWith(environment, args);
    EXPECT_EQ(result.exitCode, kExitSuccess) << usage;
    EXPECT_NE(result.out.find("Usage: " + usage), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "");
  }
  EXPECT_EQ(echo.opened, 0);
}

TEST_F(RunCliTest, AddressAndCredentialsReachTheDevice) {
  answerInfo();
  const CliResult result = runCliWith(
      environment, {"info", "--ip", "10.1.2.3", "--login", "admin", "--password", "sécret"});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  ASSERT_EQ(echo.sent.size(), 1u);
  EXPECT_EQ(echo.sent[0].target, Ipv4Address::fromHostOrder(0x0A010203));
  EXPECT_EQ(credentialsOf(echo.sent[0].data),
            "admin:s\xE9"
            "cret");
}

TEST_F(RunCliTest, LoginAndPasswordAreEmptyUnlessGiven) {
  answerInfo();
  runCliWith(environment, {"info", "--ip", "127.0.0.2"});
  ASSERT_EQ(echo.sent.size(), 1u);
  EXPECT_EQ(credentialsOf(echo.sent[0].data), ":");
}

TEST_F(RunCliTest, PasswordFromStandardInputIsItsFirstLineWithoutTheLineEnd) {
  answerInfo();
  for (const auto& [input, password] : std::initializer_list<std::pair<const char*, const char*>>{
           {"pass word\r\nsecond line\n", "pass word"},
           {"last\n", "last"},
           {"no newline", "no newline"},
           {"\n", ""}}) {
    echo.sent.clear();
    const CliResult result = runCliWith(
        environment, {"info", "--ip", "127.0.0.2", "--login", "op", "--password-stdin"}, input);
    EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
    ASSERT_EQ(echo.sent.size(), 1u);
    EXPECT_EQ(credentialsOf(echo.sent[0].data), std::string("op:") + password);
  }
}

TEST_F(RunCliTest, InfoPrintsTheDeviceInformationAsLines) {
  answerInfo();
  const CliResult result = runCliWith(environment, {"info", "--ip", "127.0.0.2"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, kInfoLines);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(environment.recordedPauses().requested.empty());
}

TEST_F(RunCliTest, InfoFailuresExitOne) {
  answerInfo(0);
  CliResult result = runCliWith(environment, {"info", "--ip", "127.0.0.2"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kDeviceError) + "\n");

  echo.responder = nullptr;  // silence: ten attempts of five echoes
  echo.sent.clear();
  result = runCliWith(environment, {"info", "--ip", "127.0.0.2"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kNoAnswer) + "\n");
  EXPECT_EQ(echo.sent.size(), 50u);

  result = runCliWith(environment, {"info", "--ip", "127.0.0.2", "--login", std::string(20, 'l'),
                                    "--password", std::string(11, 'p')});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kCredentialsTooLong) + "\n");

  result = runCliWith(environment, {"info", "--ip", "127.0.0.2", "--login", "оператор"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kCredentialsBadCharacter) + "\n");

  echo.refuseWith = {EchoFailureKind::NotPermitted, 1, "Operation not permitted", ""};
  result = runCliWith(environment, {"info", "--ip", "127.0.0.2"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_TRUE(result.out.starts_with(text::kNoIcmpAccess)) << result.out;
  EXPECT_EQ(result.out.find('\r'), std::string::npos);
}

// The run repeats the information box's text as its message when it cannot begin: the block
// appears once, on standard output, and standard error has the message's one line.
TEST_F(RunCliTest, ProgramShowsTheBlockThatStopsTheRunOnce) {
  const auto image = dir.write("device.qlxfw", ImageBuilder().data(12, Bytes(40, 0x5A)).bytes());
  echo.refuseWith = {EchoFailureKind::NotPermitted, 1, "Причина: нет права", "Что сделать: setcap"};
  const CliResult result =
      runCliWith(environment, {"program", image.string(), "--ip", "127.0.0.2"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out,
            std::string(text::kNoIcmpAccess) + "\nПричина: нет права\nЧто сделать: setcap\n");
  EXPECT_EQ(result.err, std::string(text::kNoIcmpAccess) + "\n");
}

TEST_F(RunCliTest, SummaryExitsZeroOnlyForASummary) {
  const Bytes payload = samplePayload(16, 1);
  const auto device = dir.write(
      "device.qlxfw", ImageBuilder().name("ALPHA").version(1, 2).data(12, payload).bytes());
  const auto subordinate = dir.write(
      "sub.qlxfw", ImageBuilder().name("BETA").version(3, 4).address(5).data(7, payload).bytes());
  const auto headOnly = dir.write("head.qlxfw", ImageBuilder().name("GAMMA").bytes());
  const auto broken = dir.write("broken.qlxfw", Bytes{0x42});

  CliResult result = runCliWith(environment, {"summary", device.string()});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, "'ALPHA' v1.2\n");
  result = runCliWith(environment, {"summary", subordinate.string()});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, "'BETA' v3.4 addr 5\n");

  for (const auto& [path, text] : std::initializer_list<std::pair<std::string, const char*>>{
           {(dir.path() / "missing.qlxfw").string(), text::kSummaryCannotOpen},
           {dir.path().string(), text::kSummaryCannotOpen},
           {headOnly.string(), text::kSummaryPending},
           {broken.string(), text::kFormatError}}) {
    result = runCliWith(environment, {"summary", path});
    EXPECT_EQ(result.exitCode, kExitFailure) << path;
    EXPECT_EQ(result.out, std::string(text) + "\n") << path;
  }
  EXPECT_EQ(echo.opened, 0);
}

TEST_F(RunCliTest, AnImagePathStartingWithASlashIsNoOption) {
  const CliResult result = runCliWith(environment, {"summary", "/no-such-folder/x.qlxfw"});
  EXPECT_EQ(result.exitCode, kExitFailure) << result.err;
  EXPECT_EQ(result.out, std::string(text::kSummaryCannotOpen) + "\n");
}

}  // namespace
}  // namespace korvel
