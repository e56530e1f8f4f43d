// korvel-soak: whole images through the simulated device, thousands of seeded runs per delivery
// path, with a lossy network and a misbehaving device. Every run must end in success exactly when
// the target holds the image; every failure must show one of the run's messages.
//
//   korvel-soak [--runs N] [--seed S] [--path boot|bus|both] [--only RUN]
//               [--hand-on-late-replies] [--expect-corruption]
//
// Exits 1 on any silent corruption or unexpected ending (with --expect-corruption: when there is
// none, for the control runs that show the check can see one).
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "soak/soak_run.h"

namespace korvel::soak {
namespace {

// A window lives this many runs, so that its resend ring carries over between runs.
constexpr std::uint64_t kRunsPerWindow = 5;

struct Options {
  std::uint64_t runs = 5000;
  std::uint64_t seed = 1;
  std::vector<DeliveryPath> paths{DeliveryPath::BootMonitor, DeliveryPath::Bus};
  std::optional<std::uint64_t> only;
  FaultyEchoService::Options service;
  bool expectCorruption = false;
};

struct Tally {
  std::uint64_t runs = 0;
  std::map<Verdict, std::uint64_t> verdicts;
  std::map<std::string, std::uint64_t> failuresByText;
  std::uint64_t records = 0;
  std::uint64_t pausedMs = 0;
  FaultCounts faults;
  std::vector<std::string> problems;

  void add(std::uint64_t index, std::uint64_t seed, const RunOutcome& outcome) {
    ++runs;
    ++verdicts[outcome.verdict];
    if (!outcome.message.empty()) ++failuresByText[outcome.message];
    records += outcome.records;
    pausedMs += outcome.pausedMs;
    faults += outcome.faults;
    if (outcome.verdict == Verdict::SilentCorruption || outcome.verdict == Verdict::Unexpected) {
      problems.push_back("run " + std::to_string(index) + " (seed " + std::to_string(seed) +
                         "): " + verdictName(outcome.verdict) + ": " + outcome.detail);
    }
  }

  std::uint64_t count(Verdict verdict) const {
    const auto found = verdicts.find(verdict);
    return found == verdicts.end() ? 0 : found->second;
  }
};

std::uint64_t mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

std::uint64_t runSeed(std::uint64_t seed, DeliveryPath path, std::uint64_t index) {
  return mix(mix(seed) ^ mix(index * 2 + (path == DeliveryPath::Bus ? 1 : 0)));
}

std::filesystem::path makeScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvel-soak-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    std::perror("korvel-soak: cannot make a scratch folder");
    std::exit(2);
  }
  return pattern;
}

Tally soakPath(const Options& options, DeliveryPath path, const std::filesystem::path& folder) {
  Tally tally;
  std::uint64_t first = 0;
  std::uint64_t last = options.runs;
  if (options.only) {
    first = *options.only - *options.only % kRunsPerWindow;
    last = *options.only + 1;
  }
  std::unique_ptr<SoakSession> session;
  for (std::uint64_t index = first; index < last; ++index) {
    if (index % kRunsPerWindow == 0 || !session) {
      session = std::make_unique<SoakSession>(folder, options.service);
    }
    const std::uint64_t seed = runSeed(options.seed, path, index);
    const bool replayed = options.only && index == *options.only;
    const RunPlan plan = planRun(path, seed);
    const RunOutcome outcome =
        replayed ? session->runWithFullLog(plan, mix(seed)) : session->run(plan, mix(seed));
    if (options.only && index != *options.only) continue;
    tally.add(index, seed, outcome);
    if (options.only) {
      std::cout << pathName(path) << " run " << index << ": " << verdictName(outcome.verdict)
                << (outcome.message.empty() ? "" : " \"" + outcome.message + "\"") << "\n"
                << outcome.detail << "\n";
    }
  }
  return tally;
}

void printFaults(const FaultCounts& f) {
  std::printf(
      "  exchanges %zu: requests dropped %zu, replies dropped %zu, bad checksums %zu, unchanged "
      "tokens %zu, wrong lengths %zu, late replies %zu (handed on %zu), status errors %zu, resend "
      "requests %zu (during resends %zu), not taken %zu, 77-byte acknowledgements %zu\n",
      f.exchanges, f.droppedRequests, f.droppedReplies, f.badChecksums, f.sameTokens,
      f.wrongLengths, f.lateReplies, f.staleAccepted, f.statusErrors, f.resendRequests,
      f.nestedResendRequests, f.notTaken, f.omittedResendBytes);
}

void printTally(DeliveryPath path, const Tally& tally) {
  std::printf("%-13s %6llu %9llu %8llu %12llu %18llu %10llu %8llu\n", pathName(path),
              static_cast<unsigned long long>(tally.runs),
              static_cast<unsigned long long>(tally.count(Verdict::Success)),
              static_cast<unsigned long long>(tally.count(Verdict::Failure) +
                                              tally.count(Verdict::FalseAlarm)),
              static_cast<unsigned long long>(tally.count(Verdict::FalseAlarm)),
              static_cast<unsigned long long>(tally.count(Verdict::SilentCorruption)),
              static_cast<unsigned long long>(tally.count(Verdict::Unexpected)),
              static_cast<unsigned long long>(tally.records));
}

void printDetails(DeliveryPath path, const Tally& tally) {
  std::printf("%s: failures by text\n", pathName(path));
  if (tally.failuresByText.empty()) std::printf("  (none)\n");
  for (const auto& [text, count] : tally.failuresByText) {
    std::printf("  %6llu  %s\n", static_cast<unsigned long long>(count), text.c_str());
  }
  printFaults(tally.faults);
  std::printf("  fixed pauses the runs asked for: %.1f h\n",
              static_cast<double>(tally.pausedMs) / 3.6e6);
  const std::size_t shown = std::min<std::size_t>(tally.problems.size(), 5);
  for (std::size_t i = 0; i < shown; ++i) std::printf("  %s\n", tally.problems[i].c_str());
}

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--runs" && hasValue) {
      options.runs = std::stoull(argv[++i]);
    } else if (arg == "--seed" && hasValue) {
      options.seed = std::stoull(argv[++i]);
    } else if (arg == "--only" && hasValue) {
      options.only = std::stoull(argv[++i]);
    } else if (arg == "--path" && hasValue) {
      const std::string path = argv[++i];
      if (path == "boot") {
        options.paths = {DeliveryPath::BootMonitor};
      } else if (path == "bus") {
        options.paths = {DeliveryPath::Bus};
      } else if (path != "both") {
        return false;
      }
    } else if (arg == "--hand-on-late-replies") {
      options.service.handOnLateReplies = true;
    } else if (arg == "--expect-corruption") {
      options.expectCorruption = true;
    } else {
      return false;
    }
  }
  return true;
}

int soak(int argc, char** argv) {
  Options options;
  try {
    if (!parse(argc, argv, options)) {
      std::cerr
          << "usage: korvel-soak [--runs N] [--seed S] [--path boot|bus|both] [--only RUN]\n"
             "                   [--hand-on-late-replies]\n"
             "                   [--expect-corruption]\n";
      return 2;
    }
  } catch (const std::exception&) {
    std::cerr << "korvel-soak: numbers expected after --runs, --seed and --only\n";
    return 2;
  }

  const auto folder = makeScratchFolder();
  const auto started = std::chrono::steady_clock::now();
  std::vector<std::pair<DeliveryPath, Tally>> tallies;
  for (const DeliveryPath path : options.paths)
    tallies.emplace_back(path, soakPath(options, path, folder));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  if (options.only) return 0;

  std::printf("korvel-soak: seed %llu, %.1f s\n", static_cast<unsigned long long>(options.seed),
              seconds);
  std::printf("%-13s %6s %9s %8s %12s %18s %10s %8s\n", "path", "runs", "successes", "failures",
              "false alarms", "silent corruptions", "unexpected", "records");
  std::uint64_t corruptions = 0;
  std::uint64_t unexpected = 0;
  for (const auto& [path, tally] : tallies) {
    printTally(path, tally);
    corruptions += tally.count(Verdict::SilentCorruption);
    unexpected += tally.count(Verdict::Unexpected);
  }
  for (const auto& [path, tally] : tallies) printDetails(path, tally);
  if (options.expectCorruption) return corruptions > 0 ? 0 : 1;
  return corruptions == 0 && unexpected == 0 ? 0 : 1;
}

}  // namespace
}  // namespace korvel::soak

int main(int argc, char** argv) { return korvel::soak::soak(argc, argv); }
