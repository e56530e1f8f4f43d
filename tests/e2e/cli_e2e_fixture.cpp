// What the korvel-cli end-to-end runs need besides the programs: sample images with the bytes
// their data records carry (to compare with the simulator's dumps), and the program's own texts,
// so that the script does not keep copies of them.
//
// usage: e2e_cli_fixture image IMAGE DATA [BUS_ADDRESS]
//        e2e_cli_fixture broken KIND IMAGE    (KIND: see brokenImage)
//        e2e_cli_fixture big-records IMAGE DATA SIZE
//        e2e_cli_fixture long-name IMAGE BYTES
//        e2e_cli_fixture text NAME
//        e2e_cli_fixture peak-kib COMMAND [ARGS...]   (the command's peak memory on stdout)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/texts.h"
#include "device_model/image_builder.h"

namespace {

constexpr std::size_t kRecords = 5;

bool writeFile(const std::string& path, const korvel::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int writeSample(const std::string& imagePath, const std::string& dataPath,
                const std::string* busAddress) {
  korvel::ImageBuilder image;
  image.name("E2E").version(1, 0);
  if (busAddress) image.address(static_cast<std::uint8_t>(std::stoul(*busAddress)));
  korvel::Bytes data;
  for (std::size_t i = 0; i < kRecords; ++i) {
    // Lengths differ so that a record sent twice or out of order shows in the data; none is
    // below 77 bytes, which the boot monitor could not acknowledge.
    const korvel::Bytes payload =
        korvel::samplePayload(80 + 41 * i, static_cast<std::uint32_t>(100 + i));
    image.data(12, payload);
    data.insert(data.end(), payload.begin(), payload.end());
  }
  if (!writeFile(imagePath, image.bytes()) || !writeFile(dataPath, data)) {
    std::cerr << "e2e_cli_fixture: cannot write " << imagePath << " or " << dataPath << '\n';
    return 1;
  }
  return 0;
}

// Images that a run must refuse before it sends anything, each with its fault late in the file.
std::optional<korvel::Bytes> brokenImage(const std::string& kind) {
  using korvel::ImageBuilder;
  using korvel::samplePayload;
  ImageBuilder image;
  const bool subordinate = kind.starts_with("sub-");
  image.name("BROKEN").version(1, 0);
  if (subordinate) image.address(5);
  for (std::uint32_t i = 0; i < 4; ++i) image.data(12, samplePayload(200, i));
  if (kind == "truncated") {
    korvel::Bytes bytes = image.data(12, samplePayload(300, 9)).bytes();
    bytes.resize(bytes.size() - 100);
    return bytes;
  }
  if (kind == "bad-marker") return image.raw({0x42}).bytes();
  if (kind == "type-13") return image.data(13, samplePayload(200, 9)).bytes();
  if (kind == "too-long-late") return image.data(12, samplePayload(65496, 9)).bytes();
  // Records for another target would go into the subordinate waiting at 254.
  if (kind == "sub-turns-late") return image.address(6).data(12, samplePayload(200, 9)).bytes();
  if (kind == "sub-leaves-late") return image.address(255).bytes();
  if (kind == "sub-bad-late") return image.raw({0xDD, 0xEF, 1, 2}).bytes();
  return std::nullopt;
}

int writeBroken(const std::string& kind, const std::string& imagePath) {
  const auto bytes = brokenImage(kind);
  if (!bytes) return 2;
  return writeFile(imagePath, *bytes) ? 0 : 1;
}

int writeBigRecords(const std::string& imagePath, const std::string& dataPath, std::size_t size) {
  korvel::ImageBuilder image;
  korvel::Bytes data;
  for (std::uint32_t i = 0; i < 3; ++i) {
    const korvel::Bytes payload = korvel::samplePayload(size, i);
    image.data(12, payload);
    data.insert(data.end(), payload.begin(), payload.end());
  }
  return writeFile(imagePath, image.bytes()) && writeFile(dataPath, data) ? 0 : 1;
}

// A name record of `bytes` letters, written a piece at a time, then one record for the device.
int writeLongName(const std::string& imagePath, std::size_t bytes) {
  std::ofstream out(imagePath, std::ios::binary | std::ios::trunc);
  out.put(static_cast<char>(0xFF)).put(0x11);
  const std::string piece(1 << 20, 'A');
  for (std::size_t left = bytes; left > 0;) {
    const std::size_t now = std::min(left, piece.size());
    out.write(piece.data(), static_cast<std::streamsize>(now));
    left -= now;
  }
  out.put(0);
  const korvel::Bytes record =
      korvel::ImageBuilder().data(12, korvel::samplePayload(100, 1)).bytes();
  out.write(reinterpret_cast<const char*>(record.data()),
            static_cast<std::streamsize>(record.size()));
  return out ? 0 : 1;
}

int printText(const std::string& name) {
  namespace text = korvel::text;
  const std::map<std::string, const char*> texts = {
      {"via-boot-refused", text::kSubordinateViaBoot},    {"format-error", text::kFormatError},
      {"unsupported-type", text::kUnsupportedPacketType}, {"too-long", text::kRecordTooLong},
      {"exceeds-packet", text::kRecordExceedsPacket},     {"file-changed", text::kFileChanged},
      {"another-copy", text::kAnotherCopyRunning},
  };
  const auto found = texts.find(name);
  if (found == texts.end()) return 2;
  std::cout << found->second << '\n';
  return 0;
}

// Runs the command with its output passed on, and prints its peak resident memory in KiB.
int peakKib(char** command) {
  const pid_t child = ::fork();
  if (child < 0) return 1;
  if (child == 0) {
    ::execvp(command[0], command);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return 1;
  std::cout << usage.ru_maxrss << '\n';
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int usage() {
  std::cerr << "usage: e2e_cli_fixture image IMAGE DATA [BUS_ADDRESS]\n"
               "       e2e_cli_fixture broken KIND IMAGE\n"
               "       e2e_cli_fixture big-records IMAGE DATA SIZE\n"
               "       e2e_cli_fixture long-name IMAGE BYTES\n"
               "       e2e_cli_fixture text NAME\n"
               "       e2e_cli_fixture peak-kib COMMAND [ARGS...]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "image" && (argc == 4 || argc == 5)) {
    const std::string busAddress = argc == 5 ? argv[4] : "";
    return writeSample(argv[2], argv[3], argc == 5 ? &busAddress : nullptr);
  }
  if (command == "broken" && argc == 4) return writeBroken(argv[2], argv[3]);
  if (command == "big-records" && argc == 5) {
    return writeBigRecords(argv[2], argv[3], std::stoul(argv[4]));
  }
  if (command == "long-name" && argc == 4) return writeLongName(argv[2], std::stoul(argv[3]));
  if (command == "text" && argc == 3 && printText(argv[2]) == 0) return 0;
  if (command == "peak-kib" && argc >= 3) return peakKib(argv + 2);
  return usage();
}
