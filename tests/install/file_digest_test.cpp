#include "install/file_digest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/sha256.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace {

using VendraClient::GetFileDigest;
using VendraClient::Sha256Path;
using VendraClient::VerifyFile;
using VendraTest::WriteTextFile;

constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kAbcUpper[] = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
constexpr char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

class FileDigestTest : public ::testing::Test {
 protected:
  VendraTest::TempFolder folder_;
};

TEST_F(FileDigestTest, DigestOfAFileOnBothRoutines) {
  WriteTextFile(folder_.Sub("abc"), "abc");
  for (Sha256Path path : {Sha256Path::Best, Sha256Path::Portable}) {
    std::string text;
    ASSERT_TRUE(GetFileDigest(folder_.WSub("abc"), text, path));
    EXPECT_EQ(text, kAbc);
  }
}

// Larger than one read piece and not a multiple of it.
TEST_F(FileDigestTest, LargeFileMatchesTheDigestOfItsBytes) {
  std::string bytes((size_t(3) << 20) + 12345, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  WriteTextFile(folder_.Sub("big"), bytes);
  std::string text;
  ASSERT_TRUE(GetFileDigest(folder_.WSub("big"), text));
  EXPECT_EQ(text, VendraTest::Sha256Hex(bytes));
}

TEST_F(FileDigestTest, EmptyOrMissingFileHasNoDigest) {
  WriteTextFile(folder_.Sub("empty"), "");
  std::string text = "unchanged";
  EXPECT_FALSE(GetFileDigest(folder_.WSub("empty"), text));
  EXPECT_FALSE(GetFileDigest(folder_.WSub("missing"), text));
  EXPECT_EQ(text, "unchanged");
}

TEST_F(FileDigestTest, VerifyMatchingFileFillsBothCaches) {
  WriteTextFile(folder_.Sub("abc"), "abc");
  uint32_t sizeCache = 0;
  std::string digestCache;
  EXPECT_EQ(VerifyFile(folder_.WSub("abc"), 3, sizeCache, kAbc, digestCache), 0);
  EXPECT_EQ(sizeCache, 3u);
  EXPECT_EQ(digestCache, kAbc);
}

TEST_F(FileDigestTest, VerifyIgnoresTheLetterCaseOfTheExpectedDigest) {
  WriteTextFile(folder_.Sub("abc"), "abc");
  uint32_t sizeCache = 0;
  std::string digestCache;
  EXPECT_EQ(VerifyFile(folder_.WSub("abc"), 3, sizeCache, kAbcUpper, digestCache), 0);
}

TEST_F(FileDigestTest, VerifyCodesInTheirOrder) {
  WriteTextFile(folder_.Sub("abc"), "abc");
  WriteTextFile(folder_.Sub("empty"), "");
  struct Case {
    const char* name;
    uint32_t expectedSize;
    const char* expectedDigest;
    int code;
  } cases[] = {
      {"missing", 3, "", -1},       // no expected digest comes first
      {"abc", 3, "", -1},
      {"missing", 99, kAbc, -2},    // missing file before any size test
      {"abc", 4, kAbc, -3},
      {"empty", 0, kEmpty, 0},      // an empty file has the digest of nothing
      {"empty", 0, kAbc, -5},
      {"abc", 3, kEmpty, -5},
  };
  for (const Case& c : cases) {
    uint32_t sizeCache = 0;
    std::string digestCache;
    EXPECT_EQ(VerifyFile(folder_.WSub(c.name), c.expectedSize, sizeCache, c.expectedDigest,
                         digestCache),
              c.code)
        << c.name << ' ' << c.expectedSize;
  }
}

TEST_F(FileDigestTest, VerifySizeAndDigestFailuresStillFillWhatWasLearnt) {
  WriteTextFile(folder_.Sub("abc"), "abc");
  uint32_t sizeCache = 0;
  std::string digestCache;
  EXPECT_EQ(VerifyFile(folder_.WSub("abc"), 5, sizeCache, kAbc, digestCache), -3);
  EXPECT_EQ(sizeCache, 3u);
  EXPECT_TRUE(digestCache.empty());
  sizeCache = 0;
  EXPECT_EQ(VerifyFile(folder_.WSub("abc"), 3, sizeCache, kEmpty, digestCache), -5);
  EXPECT_EQ(digestCache, kAbc);
}

// Recorded values are believed as long as the file opens: a changed file with
// the old caches still matches, and a cache that disagrees fails without the
// file being looked at.
TEST_F(FileDigestTest, VerifyTrustsTheCaches) {
  WriteTextFile(folder_.Sub("f"), "a different content");
  uint32_t sizeCache = 3;
  std::string digestCache = kAbc;
  EXPECT_EQ(VerifyFile(folder_.WSub("f"), 3, sizeCache, kAbc, digestCache), 0);

  uint32_t wrongSize = 7;
  std::string none;
  EXPECT_EQ(VerifyFile(folder_.WSub("f"), 3, wrongSize, kAbc, none), -3);
  EXPECT_EQ(wrongSize, 7u);

  // A cached size longer than the file cannot be read.
  WriteTextFile(folder_.Sub("short"), "ab");
  uint32_t longSize = 3;
  std::string empty;
  EXPECT_EQ(VerifyFile(folder_.WSub("short"), 3, longSize, kAbc, empty), -4);
  EXPECT_TRUE(empty.empty());

  // A cached size shorter than the file hashes only that many bytes.
  WriteTextFile(folder_.Sub("long"), "abcdef");
  uint32_t prefix = 3;
  std::string learnt;
  EXPECT_EQ(VerifyFile(folder_.WSub("long"), 3, prefix, kAbc, learnt), 0);
}

#if !defined(_WIN32)
// Windows has no permission bits to take reading away; the POSIX run covers it.
TEST_F(FileDigestTest, VerifyOfAFileThatCannotBeOpened) {
  WriteTextFile(folder_.Sub("secret"), "abc");
  std::filesystem::permissions(folder_.Sub("secret"), std::filesystem::perms::owner_write);
  const std::u16string path = folder_.WSub("secret");
  const int code = VendraTest::RunUnprivileged([&] {
    uint32_t sizeCache = 0;
    std::string digestCache;
    std::string text;
    const int verified = VerifyFile(path, 3, sizeCache, kAbc, digestCache);
    const bool hashed = GetFileDigest(path, text);
    return verified == -2 && !hashed ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
}
#endif

}  // namespace
