// SHA-256 against the FIPS 180 examples, fed whole and in pieces that straddle the blocks.
#include <gtest/gtest.h>

#include <string>

#include "image/sha256.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

ByteView bytesOf(const std::string& text) {
  return ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string hashed(const std::string& text) {
  Sha256 sha;
  sha.update(bytesOf(text));
  return toHex(sha.finish());
}

// Fed in pieces of 1, 2, 3, ... bytes, so that the pieces fall across the 64-byte blocks.
std::string hashedInPieces(const std::string& text) {
  Sha256 sha;
  std::size_t at = 0;
  for (std::size_t piece = 1; at < text.size(); ++piece) {
    const std::size_t n = std::min(piece, text.size() - at);
    sha.update(bytesOf(text.substr(at, n)));
    at += n;
  }
  return toHex(sha.finish());
}

const std::string k448Bits = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string k896Bits =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnop"
    "qrsmnopqrstnopqrstu";

TEST(Sha256Test, GivesTheStandardsDigests) {
  EXPECT_EQ(hashed(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hashed("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hashed(k448Bits), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(hashed(k896Bits), "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
  EXPECT_EQ(hashed(std::string(1'000'000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Test, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  EXPECT_EQ(hashedInPieces(k448Bits), hashed(k448Bits));
  EXPECT_EQ(hashedInPieces(k896Bits), hashed(k896Bits));
  // Lengths around the block and the padding's edges: 55, 56 and 64 bytes leave no room, some,
  // or a whole block for the length.
  for (const std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(i * 7 + 3);
    EXPECT_EQ(hashedInPieces(text), hashed(text)) << length;
  }
  Sha256 million;
  const std::string piece(997, 'a');
  for (std::size_t done = 0; done < 1'000'000; done += piece.size()) {
    million.update(bytesOf(piece.substr(0, std::min(piece.size(), 1'000'000 - done))));
  }
  EXPECT_EQ(toHex(million.finish()),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Test, HashesAWholeFileAndRefusesWhatIsNone) {
  test::TempDir dir;
  const auto file = dir.write("abc.bin", {'a', 'b', 'c'});
  const auto digest = sha256OfFile(file);
  ASSERT_TRUE(digest);
  EXPECT_EQ(toHex(*digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Larger than the file reader's buffer, so that the file is read in several pieces.
  std::vector<std::uint8_t> big(200'000, 'a');
  const auto bigDigest = sha256OfFile(dir.write("big.bin", big));
  ASSERT_TRUE(bigDigest);
  EXPECT_EQ(toHex(*bigDigest), hashed(std::string(big.begin(), big.end())));
  EXPECT_FALSE(sha256OfFile(dir.path() / "missing.bin"));
  EXPECT_FALSE(sha256OfFile(dir.path()));
}

}  // namespace
}  // namespace korvel
