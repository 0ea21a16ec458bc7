// SHA-256 against the FIPS 180-4 example vectors, fed whole and in pieces of
// every size (the buffering between blocks is where digests go wrong).

#include <gtest/gtest.h>

#include <string>

#include "kvsystem/sha256.h"

namespace {

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
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
}

TEST(Sha256Test, StandardVectorsWholeAndInPieces) {
  for (const Vector& v : Vectors()) {
    EXPECT_EQ(KvSystem::KvSha256Hex(v.message), v.digest) << v.message.size() << " bytes";
    for (std::size_t piece : {1, 3, 55, 56, 63, 64, 65, 1000}) {
      KvSystem::KvSha256 sha;
      for (std::size_t at = 0; at < v.message.size(); at += piece)
        sha.Update(std::string_view(v.message).substr(at, piece));
      EXPECT_EQ(sha.HexDigest(), v.digest) << v.message.size() << " bytes in pieces of " << piece;
    }
  }
  // A digest starts the next message afresh.
  KvSystem::KvSha256 sha;
  sha.Update("abc");
  (void)sha.HexDigest();
  sha.Update("abc");
  EXPECT_EQ(sha.HexDigest(), Vectors()[1].digest);
}

}  // namespace
