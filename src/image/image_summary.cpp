#include "image/image_summary.h"

#include "common/texts.h"
#include "common/utf8.h"
#include "image/firmware_image.h"

namespace korvel {
namespace {

// A name longer than this is shown cut, with a mark after it.
constexpr std::size_t kShownNameBytes = 255;

struct ImageHead {
  std::string name = "?????";
  bool nameCut = false;
  VersionRecord version;
  std::uint8_t address = kNoBusAddress;

  void take(const ImageRecord& record) {
    if (const auto* a = std::get_if<AddressRecord>(&record)) address = a->address;
    if (const auto* v = std::get_if<VersionRecord>(&record)) version = *v;
    if (const auto* n = std::get_if<NameRecord>(&record)) {
      name = n->name;
      nameCut = n->cut;
    }
  }

  std::string text() const {
    std::string out = "'" + latin1ToUtf8(name) + (nameCut ? text::kNameCut : "") + "' v" +
                      std::to_string(version.major) + "." + std::to_string(version.minor);
    if (address != kNoBusAddress) out += " addr " + std::to_string(address);
    return out;
  }

  ImageSummary summary() const {
    return {true, text(), latin1ToUtf8(name), nameCut, version.major, version.minor, address};
  }
};

ImageSummary unread(const char* reason) {
  ImageSummary summary;
  summary.text = reason;
  return summary;
}

}  // namespace

ImageSummary summarizeImage(const std::filesystem::path& path) {
  auto image = FirmwareImage::open(path);
  if (!image) return unread(text::kSummaryCannotOpen);
  return summarizeImage(*image);
}

ImageSummary summarizeImage(FirmwareImage& image) {
  image.setNameLimit(kShownNameBytes);
  ImageHead head;
  for (;;) {
    const auto next = image.peekMarker();
    if (!next) return unread(text::kSummaryPending);
    if (*next == marker::kData) return head.summary();
    ImageRecord record;
    switch (image.next(record)) {
      case ReadOutcome::Record:
        head.take(record);
        break;
      case ReadOutcome::End:
        return unread(text::kSummaryPending);
      default:
        return unread(text::kFormatError);
    }
  }
}

}  // namespace korvel
