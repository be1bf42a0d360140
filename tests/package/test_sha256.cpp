// The package digest's SHA-256 against the examples of FIPS 180-4 and
// against itself fed in pieces of every awkward size.
#include <gtest/gtest.h>

#include <string>

#include "common/sha256.h"

namespace vx {
namespace {

struct KnownDigest {
  std::string input;
  const char* hex;
};

TEST(Sha256, GivesTheStandardsDigests) {
  const KnownDigest cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const KnownDigest& known : cases) {
    EXPECT_EQ(DigestToHex(Sha256Of(known.input)), known.hex) << known.input.size() << " bytes";
    Sha256 portable(Sha256::Engine::Portable);
    portable.Update(known.input.data(), known.input.size());
    EXPECT_EQ(DigestToHex(portable.Finish()), known.hex) << known.input.size() << " bytes";
  }
}

// Where the processor has SHA instructions, the two engines agree on every
// length around the block size and on a large input.
TEST(Sha256, TheProcessorsShaInstructionsGiveThePortableDigest) {
  if (!Sha256::HasShaInstructions()) GTEST_SKIP() << "this processor has no SHA instructions";
  std::string bytes(1 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  for (size_t length : {size_t{0}, size_t{1}, size_t{55}, size_t{64}, size_t{65}, size_t{127},
                        size_t{128}, size_t{1000}, bytes.size()}) {
    Sha256 fastest(Sha256::Engine::Fastest);
    Sha256 portable(Sha256::Engine::Portable);
    fastest.Update(bytes.data(), length);
    portable.Update(bytes.data(), length);
    EXPECT_EQ(fastest.Finish(), portable.Finish()) << length << " bytes";
  }
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  std::string bytes(3 * 64 + 17, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
  const Sha256Digest whole = Sha256Of(bytes);
  for (size_t piece : {size_t{1}, size_t{3}, size_t{55}, size_t{56}, size_t{63}, size_t{64},
                       size_t{65}, size_t{200}}) {
    Sha256 hash;
    for (size_t at = 0; at < bytes.size(); at += piece) {
      hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    EXPECT_EQ(hash.Finish(), whole) << "pieces of " << piece;
  }
  // One byte changed anywhere changes the digest.
  bytes[100] ^= 1;
  EXPECT_NE(Sha256Of(bytes), whole);
}

}  // namespace
}  // namespace vx
