// The frame checksum against its bitwise definition, and what one command frame costs to build
// and to have its reply validated.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "device_model/image_builder.h"
#include "instant_device.h"
#include "link/bus_command.h"
#include "link/command_envelope.h"
#include "link/crc16.h"
#include "link/echo_link.h"
#include "programming/device_programmer.h"
#include "quiet_panel.h"

namespace korvel::bench {
namespace {

// CRC-16/CCITT-FALSE one bit at a time, as it is defined.
std::uint16_t crc16Bitwise(ByteView bytes) {
  std::uint16_t reg = 0xFFFF;
  for (const std::uint8_t byte : bytes) {
    reg = static_cast<std::uint16_t>(reg ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
      reg = static_cast<std::uint16_t>((reg & 0x8000) != 0 ? (reg << 1) ^ 0x1021 : reg << 1);
    }
  }
  return reg;
}

// The same with one 256-entry table, a byte per step, for comparison: the classic method the
// link's several-bytes-per-step tables improve on.
std::uint16_t crc16ByteTable(ByteView bytes) {
  static const auto table = [] {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i)
      t[i] = crc16Bitwise(Bytes{static_cast<std::uint8_t>(i)}) ^ crc16Bitwise(Bytes{0});
    return t;
  }();
  std::uint16_t reg = 0xFFFF;
  for (const std::uint8_t byte : bytes) {
    reg = static_cast<std::uint16_t>((reg << 8) ^ table[((reg >> 8) ^ byte) & 0xFF]);
  }
  return reg;
}

void Crc16Link(benchmark::State& state) {
  const Bytes data = samplePayload(static_cast<std::size_t>(state.range(0)), 1);
  if (Crc16(data) != crc16Bitwise(data)) std::abort();
  for (auto _ : state) benchmark::DoNotOptimize(Crc16(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// The link's sixteen tables alone, as on processors without carry-less multiplication.
void Crc16Tables(benchmark::State& state) {
  const Bytes data = samplePayload(static_cast<std::size_t>(state.range(0)), 1);
  const auto crc = [&] {
    return Crc16FromTables(data.data(), static_cast<std::int32_t>(data.size()));
  };
  if (crc() != crc16Bitwise(data)) std::abort();
  for (auto _ : state) benchmark::DoNotOptimize(crc());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// A frame checked with the caches emptied first, as after a pause of a run: the frame itself was
// just built, everything else comes back from memory. Only the checksum is timed.
template <std::uint16_t (*checksum)(const std::uint8_t*, std::int32_t)>
void Crc16AfterCachesEmptied(benchmark::State& state) {
  Bytes data = samplePayload(1036, 1);
  std::vector<std::uint8_t> sweep(std::size_t{64} << 20);
  for (auto _ : state) {
    for (std::size_t i = 0; i < sweep.size(); i += 64) ++sweep[i];
    for (auto& byte : data) byte = static_cast<std::uint8_t>(byte + 1);
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(checksum(data.data(), static_cast<std::int32_t>(data.size())));
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void Crc16Bitwise(benchmark::State& state) {
  const Bytes data = samplePayload(static_cast<std::size_t>(state.range(0)), 1);
  for (auto _ : state) benchmark::DoNotOptimize(crc16Bitwise(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// Envelope, scrambled credentials and envelope checksum around a forwarded record of n bytes.
void BuildRecordFrame(benchmark::State& state) {
  const Bytes payload = samplePayload(static_cast<std::size_t>(state.range(0)), 2);
  const auto credentials = formatCredentials("admin", "admin");
  for (auto _ : state) {
    const Bytes command = busCommand(bus::kProgrammingAddress, 0x21, payload);
    auto frame = buildCommandFrame(command, static_cast<std::uint32_t>(payload.size()) + 64,
                                   credentials.field, 0x12345678);
    benchmark::DoNotOptimize(frame);
  }
}

// One command through the link: envelope, frame checksum, the instant device's reply and the
// link's tests of it.
void CommandThroughLink(benchmark::State& state) {
  InstantDevice device;
  QuietPanel panel;
  struct NoPauses : Pauses {
    void pause(std::uint32_t) override {}
  } pauses;
  DeviceProgrammer programmer(panel, device, pauses);
  programmer.openLink(false);
  const Bytes payload = samplePayload(static_cast<std::size_t>(state.range(0)), 3);
  const Bytes command = busCommand(bus::kProgrammingAddress, 0x21, payload);
  const auto area = static_cast<std::uint32_t>(payload.size()) + 64;
  for (auto _ : state) {
    if (!programmer.sendCommand(command, area)) std::abort();
  }
}

void Crc16ByteTable(benchmark::State& state) {
  const Bytes data = samplePayload(static_cast<std::size_t>(state.range(0)), 1);
  if (crc16ByteTable(data) != crc16Bitwise(data)) std::abort();
  for (auto _ : state) benchmark::DoNotOptimize(crc16ByteTable(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

BENCHMARK(Crc16Link)->Arg(89)->Arg(1036)->Arg(65535);
BENCHMARK(Crc16Tables)->Arg(89)->Arg(1036)->Arg(65535);
BENCHMARK(Crc16AfterCachesEmptied<Crc16>)->Name("Crc16LinkCold")->UseManualTime()->Iterations(200);
BENCHMARK(Crc16AfterCachesEmptied<Crc16FromTables>)
    ->Name("Crc16TablesCold")
    ->UseManualTime()
    ->Iterations(200);
BENCHMARK(Crc16ByteTable)->Arg(89)->Arg(1036)->Arg(65535);
BENCHMARK(Crc16Bitwise)->Arg(89)->Arg(1036)->Arg(65535);
BENCHMARK(BuildRecordFrame)->Arg(0)->Arg(1024);
BENCHMARK(CommandThroughLink)->Arg(0)->Arg(1024);

}  // namespace
}  // namespace korvel::bench
