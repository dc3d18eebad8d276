#include "install/sha256.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using VendraClient::Sha256Path;

std::string Digest(Sha256Path path, std::string_view message) {
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state, path);
  VendraClient::Sha256Add(state, message.data(), message.size());
  std::string text = "left over";
  VendraClient::Sha256Text(state, text);
  return text;
}

// Bytes that are not a repeated pattern, so that a schedule or byte-order
// fault shows.
std::string Mixed(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 0x12345678;
  for (char& c : bytes) {
    x = x * 1103515245 + 12345;
    c = static_cast<char>(x >> 23);
  }
  return bytes;
}

// Every case runs on both compression routines.
class Sha256OnPath : public ::testing::TestWithParam<Sha256Path> {
 protected:
  void SetUp() override {
    if (GetParam() == Sha256Path::ShaExtensions && !VendraClient::Sha256HasShaExtensions())
      GTEST_SKIP() << "this processor has no SHA extensions";
  }
  std::string Of(std::string_view message) { return Digest(GetParam(), message); }
};

TEST_P(Sha256OnPath, StandardVectors) {
  EXPECT_EQ(Of(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Of("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Of("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopq"
               "klmnopqrlmnopqrsmnopqrstnopqrstu"),
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
  EXPECT_EQ(Of(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// 55 bytes leave room for the padding in the same block; 56 do not.
TEST_P(Sha256OnPath, PaddingBoundaries) {
  const std::pair<size_t, const char*> cases[] = {
      {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {57, "f13b2d724659eb3bf47f2dd6af1accc87b81f09f59f2b75e5c0bed6589dfe8c6"},
      {63, "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {65, "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
      {119, "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {120, "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
  };
  for (const auto& [size, digest] : cases) EXPECT_EQ(Of(std::string(size, 'a')), digest) << size;
}

TEST_P(Sha256OnPath, TextKeepsLeadingZeros) {
  EXPECT_EQ(Of("x38764"), "000080a05b601b578b420c05b5928ead7d14e2d5ef2176b5c8c2f3dc6e98d3c2");
}

// Adding in pieces of any size gives the digest of the whole message.
TEST_P(Sha256OnPath, PiecewiseAddingMatchesWhole) {
  const std::string message = Mixed(1000);
  const std::string whole = Of(message);
  for (size_t step : {1u, 7u, 55u, 56u, 63u, 64u, 65u, 128u, 333u}) {
    VendraClient::Sha256State state;
    VendraClient::Sha256Start(state, GetParam());
    for (size_t at = 0; at < message.size(); at += step)
      VendraClient::Sha256Add(state, message.data() + at, std::min(step, message.size() - at));
    std::string text;
    VendraClient::Sha256Text(state, text);
    EXPECT_EQ(text, whole) << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Sha256OnPath,
                         ::testing::Values(Sha256Path::Portable, Sha256Path::ShaExtensions),
                         [](const ::testing::TestParamInfo<Sha256Path>& param) {
                           return param.param == Sha256Path::Portable ? "Portable"
                                                                     : "ShaExtensions";
                         });

TEST(Sha256, BothRoutinesAgreeOnEveryLength) {
  if (!VendraClient::Sha256HasShaExtensions()) GTEST_SKIP() << "no SHA extensions here";
  const std::string message = Mixed(700);
  for (size_t size = 0; size <= message.size(); ++size) {
    const std::string_view part(message.data(), size);
    ASSERT_EQ(Digest(Sha256Path::Portable, part), Digest(Sha256Path::ShaExtensions, part)) << size;
  }
}

TEST(Sha256, FinishWritesTheDigestBytesInOrder) {
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state);
  VendraClient::Sha256Add(state, "abc", 3);
  uint8_t digest[32];
  VendraClient::Sha256Finish(state, digest);
  EXPECT_EQ(digest[0], 0xba);
  EXPECT_EQ(digest[1], 0x78);
  EXPECT_EQ(digest[31], 0xad);
}

// Past 2^32 bits the length carries into its high half.
TEST(Sha256, LengthCarriesPastFourGigabits) {
  const std::vector<char> zeros(size_t(1) << 24, 0);
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state);
  for (int i = 0; i < 32; ++i) VendraClient::Sha256Add(state, zeros.data(), zeros.size());
  VendraClient::Sha256Add(state, zeros.data(), 100);
  EXPECT_EQ(state.bitsHigh, 1u);
  std::string text;
  VendraClient::Sha256Text(state, text);
  EXPECT_EQ(text, "b5e920a66e366cc320737a98fb79ccb913ae38f4cf0c03b27595cf492a695503");
}

}  // namespace
