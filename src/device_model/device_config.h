#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

// One device on the simulated device's bus, found at `address` until it is prepared.
struct SubordinateConfig {
  std::uint8_t address = 5;
  std::array<std::uint8_t, 4> savedValue{0x11, 0x22, 0x33, 0x44};
};

// What the simulated device is: its credentials, what its information reply says, where it
// starts, and who sits on its bus.
struct DeviceConfig {
  // 8-bit bytes (Latin-1), compared as the device compares them.
  std::string login = "admin";
  std::string password = "admin";
  std::uint32_t boardId = 0x000012AB;
  std::uint32_t serial = (3u << 16) | 7;
  // 8-bit bytes (cp1251), up to 32 each; longer texts are cut at 32 bytes.
  std::string text1 = "BOOT";
  std::string text2 = "MAIN";
  // Upper byte major, lower byte minor.
  std::uint16_t bootVersion = 0x0102;
  std::uint16_t programVersion = 0x0205;
  // The operator has started the boot monitor by hand.
  bool startInBootMonitor = false;
  std::vector<SubordinateConfig> subordinates{};
  // Memory for programmed bytes that the device and each subordinate have ready from the start,
  // so that taking a record neither waits for fresh memory nor moves what was taken; beyond it
  // the store grows as needed. For measurements, where the simulator should cost as little as
  // it can.
  std::size_t storeReserve = 0;
};

}  // namespace korvel
