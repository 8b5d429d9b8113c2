// scripthash_test.cc: SHA-256 and base64 against published test vectors.
#include "interface/scripthash.h"

#include <gtest/gtest.h>

namespace {

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

TEST(Sha256, KnownDigests) {
  struct Case { std::string data; const char* hex; };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the padding takes a second block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.hex, Hex(Sha256(c.data))) << c.data.size();
}

TEST(Base64, PaddingAndScriptSource) {
  EXPECT_EQ("", Base64(""));
  EXPECT_EQ("Zg==", Base64("f"));
  EXPECT_EQ("Zm8=", Base64("fo"));
  EXPECT_EQ("Zm9v", Base64("foo"));
  EXPECT_EQ("+/8=", Base64("\xfb\xff"));
  EXPECT_EQ("'sha256-47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU='", ScriptHashSource(""));
}

}  // namespace
