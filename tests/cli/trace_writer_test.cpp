// The wire trace: one line per echo request, on standard error, from the command's start.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/output/trace_writer.h"
#include "cli_test_environment.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/echo_link.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

using test::CliResult;
using test::runCliWith;

TEST(TraceLineTest, SaysWhatWentOutAndWhatCameBack) {
  const Bytes sent(20, 0);  // no frame the device would read
  const Bytes reply(40, 0);
  EchoExchange exchange;
  exchange.targetAddress = Ipv4Address(10, 1, 2, 3);
  exchange.sequence = 7;
  exchange.sent = sent;
  exchange.attempt = 2;
  exchange.attempts = 5;
  const std::string start =
      "10.1.2.3 seq 7 attempt 2/5 sent unreadable frame, 20 bytes (20 bytes): ";

  exchange.result = ExchangeResult::NoReply;
  EXPECT_EQ(traceLine(exchange), start + "timeout");
  exchange.result = ExchangeResult::Accepted;
  exchange.reply = reply;
  exchange.status = 1;
  exchange.replyLength = 28;
  EXPECT_EQ(traceLine(exchange), start + "status 1, length 28");
  exchange.result = ExchangeResult::Rejected;
  exchange.rejectedBy = ReplyCheck::Token;
  EXPECT_EQ(traceLine(exchange), start + "rejected (token), 40 bytes");
  exchange.result = ExchangeResult::Received;
  EXPECT_EQ(traceLine(exchange), start + "reply of 40 bytes, not checked");
  exchange.result = ExchangeResult::Refused;
  exchange.reply = {};
  exchange.refusal = EchoFailureKind::TooLarge;
  EXPECT_EQ(traceLine(exchange), start + "refused (too-large)");
}

TEST(TraceOutputTest, CountsMillisecondsFromTheStart) {
  std::ostringstream err;
  SharedLines lines(err);
  std::chrono::steady_clock::time_point clock{std::chrono::seconds(50)};
  TraceOutput output(lines, [&clock] { return clock; });
  output.write("first");
  clock += std::chrono::microseconds(1'234'567);
  output.write("second");
  EXPECT_EQ(err.str(), "     0.000 ms first\n  1234.567 ms second\n");
}

// The device's first reply fails its checksum, the second never comes, the third is good.
TEST(TraceCliTest, InfoTracesARejectedReplyATimeoutAndTheAnswer) {
  SimulatedDevice device;
  device.faults().corrupt(FaultKind::BadChecksum, firstRequests(1));
  device.faults().dropReplies(FaultTrigger{.skip = 1, .count = 1});
  SimulatedEchoService echo(device, Ipv4Address(127, 0, 0, 2));
  test::TestCliEnvironment environment(echo);
  environment.terminal = true;  // a trace keeps the progress bar away all the same
  const CliResult result = runCliWith(environment, {"info", "--trace", "--ip", "127.0.0.2",
                                                    "--login", "admin", "--password", "admin"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, "'BOOT'\nBoard Id=0x000012AB №3.7 Boot v1.2\n'MAIN'\nv2.5\n");
  const std::string sent = R"(127\.0\.0\.2 seq 0 attempt \d/5 sent command 0x03 \(\d+ bytes\): )";
  const std::regex expected(" +0\\.000 ms " + sent + R"(rejected \(checksum\), \d+ bytes\n)" +
                            " +0\\.000 ms " + sent + "timeout\n" + " +0\\.000 ms " + sent +
                            "status 1, length 77\n");
  EXPECT_TRUE(std::regex_match(result.err, expected)) << result.err;
}

}  // namespace
}  // namespace korvel
