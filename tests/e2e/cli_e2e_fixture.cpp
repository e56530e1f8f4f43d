// What the korvel-cli end-to-end runs need besides the programs: sample images with the bytes
// their data records carry (to compare with the simulator's dumps), and the program's own texts,
// so that the script does not keep copies of them.
//
// usage: e2e_cli_fixture image IMAGE DATA [BUS_ADDRESS]
//        e2e_cli_fixture text via-boot-refused
#include <fstream>
#include <iostream>
#include <string>

#include "common/texts.h"
#include "devsim/image_builder.h"

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

int usage() {
  std::cerr << "usage: e2e_cli_fixture image IMAGE DATA [BUS_ADDRESS]\n"
               "       e2e_cli_fixture text via-boot-refused\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "image" && (argc == 4 || argc == 5)) {
    const std::string busAddress = argc == 5 ? argv[4] : "";
    return writeSample(argv[2], argv[3], argc == 5 ? &busAddress : nullptr);
  }
  if (command == "text" && argc == 3 && std::string(argv[2]) == "via-boot-refused") {
    std::cout << korvel::text::kSubordinateViaBoot << '\n';
    return 0;
  }
  return usage();
}
