#include "install/sha256.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "install/sha256_blocks.h"

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

// Every routine this processor can run, the portable one first.
std::vector<Sha256Path> RunnablePaths() {
  std::vector<Sha256Path> paths;
  for (Sha256Path path : {Sha256Path::Portable, Sha256Path::ShaExtensions, Sha256Path::Avx2})
    if (VendraClient::Sha256PathAvailable(path)) paths.push_back(path);
  return paths;
}

// Every case runs on every compression routine.
class Sha256OnPath : public ::testing::TestWithParam<Sha256Path> {
 protected:
  void SetUp() override {
    if (!VendraClient::Sha256PathAvailable(GetParam()))
      GTEST_SKIP() << "this processor cannot run " << VendraClient::Sha256PathName(GetParam());
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

// A block count that is odd leaves the pairwise routine one block of its own.
TEST_P(Sha256OnPath, BlockCountsOddAndEven) {
  const std::pair<size_t, const char*> cases[] = {
      {128, "6836cf13bac400e9105071cd6af47084dfacad4e5e302c94bfed24e013afb73e"},
      {192, "7cee24628d290c16183532716cc5a8a889bc951b4b0a1507c32b8e29cee01052"},
      {320, "fee1a848cb6763c3088a0e523541b46ac171af2677b062178a9116c4612b352f"},
      {1000, "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const auto& [size, digest] : cases) EXPECT_EQ(Of(std::string(size, 'a')), digest) << size;
}

INSTANTIATE_TEST_SUITE_P(Paths, Sha256OnPath,
                         ::testing::Values(Sha256Path::Portable, Sha256Path::ShaExtensions,
                                           Sha256Path::Avx2),
                         [](const ::testing::TestParamInfo<Sha256Path>& param) {
                           switch (param.param) {
                             case Sha256Path::ShaExtensions:
                               return "ShaExtensions";
                             case Sha256Path::Avx2:
                               return "Avx2";
                             default:
                               return "Portable";
                           }
                         });

// Every message length up to 4096 bytes digests alike on every routine.
TEST(Sha256, AllRoutinesAgreeOnEveryLength) {
  const std::vector<Sha256Path> paths = RunnablePaths();
  if (paths.size() < 2) GTEST_SKIP() << "only the portable routine runs here";
  const std::string message = Mixed(4096);
  for (size_t size = 0; size <= message.size(); ++size) {
    const std::string_view part(message.data(), size);
    const std::string reference = Digest(Sha256Path::Portable, part);
    for (Sha256Path path : paths)
      ASSERT_EQ(Digest(path, part), reference) << VendraClient::Sha256PathName(path) << " " << size;
  }
}

// The routines themselves, from random chaining values over random runs of
// random blocks, so that nothing depends on the initial hash or on padding.
TEST(Sha256, AllRoutinesAgreeOnRandomBlocks) {
  const std::vector<Sha256Path> paths = RunnablePaths();
  if (paths.size() < 2) GTEST_SKIP() << "only the portable routine runs here";
  std::mt19937 random(20240611);
  for (int trial = 0; trial < 300; ++trial) {
    const size_t count = 1 + random() % 11;
    std::vector<uint8_t> blocks(64 * count);
    for (uint8_t& byte : blocks) byte = static_cast<uint8_t>(random());
    uint32_t start[8];
    for (uint32_t& word : start) word = static_cast<uint32_t>(random());
    uint32_t reference[8];
    std::copy(start, start + 8, reference);
    VendraClient::Sha256Blocks::Portable(reference, blocks.data(), count);
    for (Sha256Path path : paths) {
      VendraClient::Sha256State state;
      VendraClient::Sha256Start(state, path);
      uint32_t hash[8];
      std::copy(start, start + 8, hash);
      state.compress(hash, blocks.data(), count);
      ASSERT_TRUE(std::equal(hash, hash + 8, reference))
          << VendraClient::Sha256PathName(path) << " " << count << " blocks, trial " << trial;
    }
  }
}

// Long random messages added in random pieces, as files are read.
TEST(Sha256, AllRoutinesAgreeOnRandomMessagesInPieces) {
  const std::vector<Sha256Path> paths = RunnablePaths();
  if (paths.size() < 2) GTEST_SKIP() << "only the portable routine runs here";
  std::mt19937 random(7);
  for (int trial = 0; trial < 20; ++trial) {
    const std::string message = Mixed(random() % 300000);
    const std::string reference = Digest(Sha256Path::Portable, message);
    for (Sha256Path path : paths) {
      VendraClient::Sha256State state;
      VendraClient::Sha256Start(state, path);
      for (size_t at = 0; at < message.size();) {
        const size_t piece = std::min<size_t>(random() % 5000, message.size() - at);
        VendraClient::Sha256Add(state, message.data() + at, piece);
        at += piece;
      }
      std::string text;
      VendraClient::Sha256Text(state, text);
      ASSERT_EQ(text, reference) << VendraClient::Sha256PathName(path) << " " << message.size();
    }
  }
}

// The processor's feature flags as the Linux kernel reports them; empty
// where there is no such report.
std::set<std::string> CpuFlags() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("flags", 0) != 0) continue;
    std::istringstream words(line.substr(line.find(':') + 1));
    std::set<std::string> flags;
    for (std::string flag; words >> flag;) flags.insert(flag);
    return flags;
  }
  return {};
}

// The dispatcher picks the SHA extensions first, then AVX2, then the
// portable routine, by what the processor really has.
TEST(Sha256, DispatchFollowsTheProcessorFeatures) {
  const std::set<std::string> flags = CpuFlags();
  if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo here";
  const bool sha = flags.count("sha_ni") && flags.count("ssse3") && flags.count("sse4_1");
  const bool avx2 = flags.count("avx2") && flags.count("bmi1") && flags.count("bmi2") &&
                    flags.count("ssse3");
  EXPECT_EQ(VendraClient::Sha256PathAvailable(Sha256Path::ShaExtensions), sha);
  EXPECT_EQ(VendraClient::Sha256PathAvailable(Sha256Path::Avx2), avx2);
  EXPECT_EQ(VendraClient::Sha256BestPath(false), avx2 ? Sha256Path::Avx2 : Sha256Path::Portable);
  EXPECT_EQ(VendraClient::Sha256BestPath(),
            sha ? Sha256Path::ShaExtensions : VendraClient::Sha256BestPath(false));
}

// Best really compresses with the routine the dispatcher names.
TEST(Sha256, BestStartsTheChosenRoutine) {
  VendraClient::Sha256State best, chosen, portable;
  VendraClient::Sha256Start(best);
  VendraClient::Sha256Start(chosen, VendraClient::Sha256BestPath());
  VendraClient::Sha256Start(portable, Sha256Path::Portable);
  EXPECT_EQ(best.compress, chosen.compress);
  EXPECT_EQ(portable.compress == best.compress,
            VendraClient::Sha256BestPath() == Sha256Path::Portable);
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
