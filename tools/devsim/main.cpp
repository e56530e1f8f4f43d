// korvel-devsim: the simulated device answering real ICMP echo requests, for the end-to-end
// tests and the demo. Run it in a private network namespace (scripts/with-devsim).
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "device_setup.h"
#include "icmp_responder.h"
#include "json_log.h"

namespace {

using namespace korvel;
using namespace korvel::devsim;

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

constexpr std::size_t kMaxStoreReserve = std::size_t{256} << 20;

constexpr char kEchoIgnoreAll[] = "/proc/sys/net/ipv4/icmp_echo_ignore_all";

constexpr char kFooter[] = R"(
Each address gets a simulated device of its own: its main program (command 0x03 answers the
device information, 0x07 hands over to the boot monitor), its boot monitor (takes bare data
records) and the subordinates on its bus. Requests are checked as the device checks them (frame
checksum, length, envelope checksum, credentials); anything malformed is answered with silence.

Faults (--fault, repeatable; also "faults" in the configuration file):
  KIND[=VALUE][,KEY=VALUE]...
  kinds: drop-request, drop-reply, status=BYTE, resend=BYTE (records on the bus),
         no-resend-byte, bad-checksum, same-token, short (length 76), long (request + 1),
         late (the reply before goes out again, first), delay=MILLISECONDS
  keys:  target=any|device|bus|bus-record|raw|record, code=BYTE, address=BUS-ADDRESS,
         first=N, nth=N, skip=N, every=N, count=N, probability=P
  e.g.   --fault drop-reply,first=2   --fault status=0,target=device,code=0x07
         --fault resend=0x05,nth=4    --fault drop-reply,probability=0.1 --seed 7

Configuration file (JSON): the same settings as the options, by these names: login, password,
boardId, serial ("3.7"), text1, text2, bootVersion ("1.2"), programVersion, bootMonitor,
subordinates ([{"address": 5, "savedValue": "11223344"}] or ["5:11223344"]), faults ([...]),
seed; and "devices": [{"address": "127.0.0.3", ...}] for devices with settings of their own.
Options given on the command line apply to every device, after the file.

The kernel must not answer the echo requests itself (net.ipv4.icmp_echo_ignore_all=1) and the
simulator needs a raw socket (CAP_NET_RAW): scripts/with-devsim makes such a namespace.
Once it listens it prints "ready" (and creates --ready-file); SIGTERM or SIGINT end it, after the
log and the dumps are written. Dumps are ADDRESS.bin for the device's boot monitor and
ADDRESS-subN.bin for the subordinate at home address N.)";

struct Options {
  std::vector<std::string> addresses;
  std::string configFile;
  DeviceSettings settings;
  std::string login, password, text1, text2, boardId, serial, bootVersion, programVersion;
  std::vector<std::string> subordinates;
  bool bootMonitor = false;
  std::uint64_t seed = 0;
  std::string logFile, dumpDir, readyFile;
  unsigned maxDelayMs = 10000;
  std::size_t storeReserve = 0;
  bool stopWithParent = false;
};

void addOptions(CLI::App& app, Options& options) {
  app.add_option("-a,--address", options.addresses,
                 "Address of this namespace to answer for: a loopback address, or one an interface "
                 "holds; repeatable (default 127.0.0.2 when no device is configured)");
  app.add_option("-c,--config", options.configFile, "JSON configuration of the devices")
      ->check(CLI::ExistingFile);
  app.add_option("--login", options.login, "Login the device takes (default admin)");
  app.add_option("--password", options.password, "Password the device takes (default admin)");
  app.add_option("--board-id", options.boardId, "Board id (default 0x000012AB)");
  app.add_option("--serial", options.serial, "Serial number as HIGH.LOW (default 3.7)");
  app.add_option("--text1", options.text1, "First text of the information reply (default BOOT)");
  app.add_option("--text2", options.text2, "Second text of the information reply (default MAIN)");
  app.add_option("--boot-version", options.bootVersion,
                 "Boot monitor version MAJOR.MINOR (default 1.2)");
  app.add_option("--program-version", options.programVersion,
                 "Main program version MAJOR.MINOR (default 2.5)");
  app.add_flag("--boot-monitor", options.bootMonitor,
               "Start in the boot monitor, as if started by hand");
  app.add_option("--subordinate", options.subordinates,
                 "Subordinate on the bus: ADDRESS[:SAVEDVALUE as 8 hex digits]; repeatable");
  app.add_option("--fault", options.settings.faults, "Fault to inject (see below); repeatable");
  app.add_option("--seed", options.seed, "Seed of the random faults (default 1)");
  app.add_option("--log", options.logFile, "Write the conversation to this file as JSON lines");
  app.add_option("--dump-dir", options.dumpDir,
                 "At exit, write the programmed bytes into this folder");
  app.add_option("--ready-file", options.readyFile, "Create this file once listening");
  app.add_option("--max-delay", options.maxDelayMs,
                 "Longest delay a fault may cause, in ms (default 10000)");
  app.add_option("--store-reserve", options.storeReserve,
                 "Bytes of memory each device and subordinate has ready for what it is programmed "
                 "with, so that taking records never waits for the system (for measurements; at "
                 "most 256 MiB; default 0: grown as needed)")
      ->check(CLI::Range(std::size_t{0}, kMaxStoreReserve));
  app.add_flag("--stop-with-parent", options.stopWithParent,
               "Stop (as on SIGTERM) when the process that started it ends");
  app.footer(kFooter);
}

// The command-line settings, taken as given (empty means not given).
DeviceSettings commandLineSettings(const Options& options, const CLI::App& app) {
  DeviceSettings s;
  s.faults = options.settings.faults;
  const auto given = [&](const char* name) { return app.count(name) > 0; };
  if (given("--login")) s.login = options.login;
  if (given("--password")) s.password = options.password;
  if (given("--text1")) s.text1 = options.text1;
  if (given("--text2")) s.text2 = options.text2;
  if (given("--boot-monitor")) s.startInBootMonitor = true;
  if (given("--seed")) s.seed = options.seed;
  return s;
}

bool readNumbers(const Options& options, const CLI::App& app, DeviceSettings& s,
                 std::string& error) {
  const auto given = [&](const char* name) { return app.count(name) > 0; };
  const auto take = [&](const char* name, const std::string& text, auto parse, auto& out) {
    if (!given(name)) return true;
    out = parse(text);
    if (!out) error = std::string("bad value for ") + name + ": " + text;
    return out.has_value();
  };
  if (!take("--board-id", options.boardId, parseUnsigned, s.boardId) ||
      !take("--serial", options.serial, parseSerial, s.serial) ||
      !take("--boot-version", options.bootVersion, parseVersion, s.bootVersion) ||
      !take("--program-version", options.programVersion, parseVersion, s.programVersion)) {
    return false;
  }
  if (given("--subordinate")) {
    s.subordinates.emplace();
    for (const auto& text : options.subordinates) {
      const auto sub = parseSubordinate(text);
      if (!sub) {
        error =
            "bad subordinate " + text + " (ADDRESS 0-253, optionally :SAVEDVALUE as 8 hex digits)";
        return false;
      }
      s.subordinates->push_back(*sub);
    }
  }
  return true;
}

bool addDevice(const std::string& address, const std::vector<const DeviceSettings*>& layers,
               std::vector<DeviceSetup>& setups, std::string& error) {
  DeviceSetup setup;
  const auto parsed = parseDeviceAddress(address);
  if (!parsed) {
    error = "bad address " + address + " (a unicast IPv4 address such as 127.0.0.2 is needed)";
    return false;
  }
  if (!isAddressOfThisNamespace(*parsed)) {
    error = "address " + address +
            " is not one of this network namespace's (give it to an interface first: ip addr add)";
    return false;
  }
  for (const auto& existing : setups) {
    if (existing.address == *parsed) {
      error = "address " + address + " is given twice";
      return false;
    }
  }
  setup.address = *parsed;
  setup.addressText = address;
  for (const DeviceSettings* layer : layers) {
    if (!applySettings(*layer, setup, error)) {
      error = address + ": " + error;
      return false;
    }
  }
  setups.push_back(std::move(setup));
  return true;
}

bool buildSetups(const Options& options, const CLI::App& app, std::vector<DeviceSetup>& setups,
                 std::string& error) {
  FileConfig file;
  if (!options.configFile.empty()) {
    auto read = readConfigFile(options.configFile, error);
    if (!read) return false;
    file = std::move(*read);
  }
  DeviceSettings command = commandLineSettings(options, app);
  if (!readNumbers(options, app, command, error)) return false;
  for (const auto& [address, own] : file.devices) {
    if (!addDevice(address, {&file.common, &own, &command}, setups, error)) return false;
  }
  std::vector<std::string> addresses = options.addresses;
  if (addresses.empty() && setups.empty()) addresses.push_back("127.0.0.2");
  for (const auto& address : addresses) {
    if (!addDevice(address, {&file.common, &command}, setups, error)) return false;
  }
  return true;
}

// The kernel answers echo requests itself unless told not to; its replies would race ours.
bool kernelLeavesEchoToUs(std::string& error) {
  std::ifstream in(kEchoIgnoreAll);
  int value = -1;
  if (!(in >> value)) {
    error = std::string("cannot read ") + kEchoIgnoreAll;
    return false;
  }
  if (value == 0) {
    error =
        "the kernel answers echo requests itself here (net.ipv4.icmp_echo_ignore_all is 0); run "
        "korvel-devsim in a network namespace where it is 1, e.g. through scripts/with-devsim";
    return false;
  }
  return true;
}

bool announceReady(const Options& options, const std::string& addresses, std::string& error) {
  std::cout << "korvel-devsim: ready on " << addresses << std::endl;
  if (options.readyFile.empty()) return true;
  const std::string partial = options.readyFile + ".partial";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << "ready " << addresses << '\n';
    if (!out) {
      error = "cannot write " + partial;
      return false;
    }
  }
  std::error_code failed;
  std::filesystem::rename(partial, options.readyFile, failed);
  if (failed) error = "cannot create " + options.readyFile + ": " + failed.message();
  return !failed;
}

int fail(const std::string& message) {
  std::cerr << "korvel-devsim: " << message << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "korvel-devsim: a simulated Korvel device answering ICMP echo requests in a private network "
      "namespace"};
  Options options;
  addOptions(app, options);
  CLI11_PARSE(app, argc, argv);

  std::string error;
  std::vector<DeviceSetup> setups;
  if (!buildSetups(options, app, setups, error)) return fail(error);
  for (auto& setup : setups) setup.config.storeReserve = options.storeReserve;

  // SIGINT and SIGTERM get in only while the responder waits, so a stop is never missed.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  if (options.stopWithParent) {
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) stopRequested = 1;  // it ended before we asked
  }
  if (!kernelLeavesEchoToUs(error)) return fail(error);

  JsonLog log;
  if (!options.logFile.empty() && !log.open(options.logFile)) {
    return fail("cannot write the log " + options.logFile);
  }
  std::string addresses;
  for (const auto& setup : setups) addresses += (addresses.empty() ? "" : " ") + setup.addressText;
  IcmpResponder responder(std::move(setups), log.isOpen() ? &log : nullptr,
                          std::chrono::milliseconds(options.maxDelayMs));
  if (!responder.open(error) || !announceReady(options, addresses, error)) return fail(error);

  const bool ran = responder.run(stopRequested, error);
  log.flush();
  std::string dumpError;
  const bool dumped = options.dumpDir.empty() || responder.writeDumps(options.dumpDir, dumpError);
  if (!options.readyFile.empty()) {
    std::error_code ignored;
    std::filesystem::remove(options.readyFile, ignored);
  }
  if (!ran) return fail(error);
  if (!dumped) return fail(dumpError);
  return 0;
}
