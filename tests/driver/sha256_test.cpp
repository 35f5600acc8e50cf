#include "base/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The FIPS 180-4 example messages and the NIST long-message vector.
struct Vector {
  std::string message;
  const char* digest;
};

std::vector<Vector> Vectors() {
  return {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
       "nopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
}

TEST(Sha256, PublishedVectorsWholeAndInPiecesOfEverySize) {
  for (const Vector& v : Vectors()) {
    EXPECT_EQ(base::Sha256Hex(base::Sha256Of(v.message.data(), v.message.size())), v.digest) << v.message.size();
    // Pieces that straddle the 64-byte block and the 56-byte padding limit.
    for (size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 1000u}) {
      base::Sha256 hash;
      for (size_t at = 0; at < v.message.size(); at += piece)
        hash.Update(v.message.data() + at, std::min(piece, v.message.size() - at));
      EXPECT_EQ(base::Sha256Hex(hash.Finish()), v.digest) << v.message.size() << " in pieces of " << piece;
    }
  }
}

TEST(Sha256, FinishResetsForTheNextMessage) {
  base::Sha256 hash;
  hash.Update("xyz", 3);
  hash.Finish();
  hash.Update("abc", 3);
  EXPECT_EQ(base::Sha256Hex(hash.Finish()), Vectors()[1].digest);
}

}  // namespace
