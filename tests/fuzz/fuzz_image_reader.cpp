// The image reader and the summary scan on arbitrary files. Besides memory errors, it compares
// both with a plain reading of the record rules written out here a second time.
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "common/texts.h"
#include "common/utf8.h"
#include "image/firmware_image.h"
#include "image/image_summary.h"
#include "scratch_file.h"

namespace korvel::fuzz {
namespace {

struct Reading {
  std::vector<ImageRecord> records;
  ReadOutcome end = ReadOutcome::End;
};

bool sameRecord(const ImageRecord& a, const ImageRecord& b) {
  if (a.index() != b.index()) return false;
  if (const auto* d = std::get_if<DataRecord>(&a)) {
    const auto& e = std::get<DataRecord>(b);
    return d->type == e.type && d->length == e.length && d->payload == e.payload;
  }
  if (const auto* r = std::get_if<AddressRecord>(&a)) {
    return r->address == std::get<AddressRecord>(b).address;
  }
  if (const auto* v = std::get_if<VersionRecord>(&a)) {
    const auto& w = std::get<VersionRecord>(b);
    return v->major == w.major && v->minor == w.minor;
  }
  return std::get<NameRecord>(a).name == std::get<NameRecord>(b).name;
}

// The record rules, byte by byte over the whole file in memory. With `stopAtData` it stops at the
// first data marker, as the summary scan does, and says so with ReadOutcome::Record.
Reading readPlainly(ByteView file, std::uint32_t maxPayload, bool stopAtData = false) {
  Reading reading;
  std::size_t at = 0;
  const auto left = [&] { return file.size() - at; };
  const auto fail = [&](ReadOutcome outcome) {
    reading.end = outcome;
    return reading;
  };
  while (at < file.size()) {
    switch (file[at++]) {
      case marker::kData: {
        if (stopAtData) return fail(ReadOutcome::Record);
        if (left() < 5) return fail(ReadOutcome::FormatError);
        DataRecord data;
        data.type = file[at];
        data.length = getLe32(file, at + 1);
        at += 5;
        if (data.length == 0 || data.length > left()) return fail(ReadOutcome::FormatError);
        if (data.length > maxPayload) return fail(ReadOutcome::TooLarge);
        data.payload.assign(file.begin() + at, file.begin() + at + data.length);
        at += data.length;
        reading.records.push_back(std::move(data));
        break;
      }
      case marker::kAddress:
        if (left() < 2 || file[at] != marker::kAddressConfirm)
          return fail(ReadOutcome::FormatError);
        reading.records.push_back(AddressRecord{file[at + 1]});
        at += 2;
        break;
      case marker::kVersion:
        if (left() < 3 || file[at] != marker::kVersionConfirm)
          return fail(ReadOutcome::FormatError);
        reading.records.push_back(VersionRecord{file[at + 1], file[at + 2]});
        at += 3;
        break;
      case marker::kName: {
        if (left() < 1 || file[at] != marker::kNameConfirm) return fail(ReadOutcome::FormatError);
        ++at;
        NameRecord name;
        while (at < file.size() && file[at] != 0) name.name += static_cast<char>(file[at++]);
        if (at == file.size()) return fail(ReadOutcome::FormatError);
        ++at;
        reading.records.push_back(std::move(name));
        break;
      }
      default:
        return fail(ReadOutcome::FormatError);
    }
  }
  return reading;
}

// What the summary field shows for the file, from the plain reading.
std::string plainSummary(ByteView file) {
  const Reading reading = readPlainly(file, FirmwareImage::kDefaultMaxPayload, true);
  if (reading.end == ReadOutcome::End) return text::kSummaryPending;
  if (reading.end != ReadOutcome::Record) return text::kFormatError;
  std::string name = "?????";
  VersionRecord version;
  std::uint8_t address = kNoBusAddress;
  for (const auto& record : reading.records) {
    if (const auto* a = std::get_if<AddressRecord>(&record)) address = a->address;
    if (const auto* v = std::get_if<VersionRecord>(&record)) version = *v;
    if (const auto* n = std::get_if<NameRecord>(&record)) name = n->name;
  }
  // Names past 255 bytes are shown cut, with a mark.
  const bool cut = name.size() > 255;
  if (cut) name.resize(255);
  std::string shown = "'" + latin1ToUtf8(name) + (cut ? text::kNameCut : "") + "' v" +
                      std::to_string(version.major) + "." + std::to_string(version.minor);
  if (address != kNoBusAddress) shown += " addr " + std::to_string(address);
  return shown;
}

void check(bool condition) {
  if (!condition) std::abort();
}

void compareReader(const ScratchFile& file, ByteView bytes, std::uint32_t maxPayload) {
  auto image = FirmwareImage::open(file.path(), maxPayload);
  check(image.has_value());
  check(image->size() == bytes.size());
  const Reading expected = readPlainly(bytes, maxPayload);
  ImageRecord record;
  for (const auto& wanted : expected.records) {
    check(image->next(record) == ReadOutcome::Record);
    check(sameRecord(record, wanted));
    check(image->position() <= bytes.size());
  }
  check(image->next(record) == expected.end);
}

}  // namespace
}  // namespace korvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel;
  const ByteView bytes(data, size);
  const fuzz::ScratchFile file(bytes);
  fuzz::compareReader(file, bytes, FirmwareImage::kDefaultMaxPayload);
  fuzz::compareReader(file, bytes, 64);
  fuzz::check(imageSummary(file.path()) == fuzz::plainSummary(bytes));
  return 0;
}
