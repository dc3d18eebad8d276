#include "install/codec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/memory/ref_ptr.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

#if !defined(_WIN32)
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

using namespace VendraClient;
using BufferRef = Vendra::RefPtr<VBuffer>;
using VendraTest::ReadTextFile;
using VendraTest::WriteTextFile;

constexpr char16_t kInflateDenied[] =
    u"Inflate: WriteFile failed due to lack of permissions. Elevated permissions required?";
constexpr char16_t kDeflateDenied[] =
    u"Deflate: WriteFile failed due to lack of permissions. Elevated permissions required?";

BufferRef MakeBuffer(const std::string& bytes) {
  BufferRef buffer = BufferRef::Adopt(new VBuffer());
  buffer->Resize(static_cast<int32_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(buffer->Data(), bytes.data(), bytes.size());
  return buffer;
}

std::string Bytes(const BufferRef& buffer) {
  return std::string(reinterpret_cast<const char*>(buffer->Data()),
                     static_cast<size_t>(buffer->Size()));
}

// Text and binary-looking data mixed, so that it compresses somewhat.
std::string Sample(size_t size) {
  std::string bytes;
  uint32_t x = 7;
  while (bytes.size() < size) {
    x = x * 1664525 + 1013904223;
    if (x & 0x100) {
      bytes += "line of text number " + std::to_string(x % 1000) + "\n";
    } else {
      for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<char>(x >> (i % 24)));
    }
  }
  bytes.resize(size);
  return bytes;
}

std::string Random(size_t size) {
  std::string bytes(size, '\0');
  uint64_t x = 0x9e3779b97f4a7c15ull;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x);
  }
  return bytes;
}

std::string Compress(const std::string& bytes, int level = 6) {
  BufferRef out;
  std::u16string error;
  EXPECT_EQ(DeflateBuffer(level, MakeBuffer(bytes).get(), out.Receive(), error),
            eVClientResult::Success);
  return out ? Bytes(out) : std::string();
}

eVClientResult Expand(const std::string& stream, uint32_t size, std::string& out,
                      std::u16string& error) {
  BufferRef expanded;
  const eVClientResult r = InflateBuffer(MakeBuffer(stream).get(), size, expanded.Receive(), error);
  if (expanded) out = Bytes(expanded);
  EXPECT_EQ(r == eVClientResult::Success, static_cast<bool>(expanded));
  return r;
}

// ---- Buffers ---------------------------------------------------------------

TEST(CodecBuffers, RoundTripAtEveryLevelIsAStandardZlibStream) {
  const std::string original = Sample(200000);
  for (int level : {-1, 0, 1, 6, 9}) {
    const std::string stream = Compress(original, level);
    ASSERT_FALSE(stream.empty()) << level;
    // zlib's own one-shot expansion reads it.
    std::string check(original.size(), '\0');
    uLongf checkSize = static_cast<uLongf>(check.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(check.data()), &checkSize,
                         reinterpret_cast<const Bytef*>(stream.data()), stream.size()),
              Z_OK);
    EXPECT_EQ(check, original);
    std::string back;
    std::u16string error;
    ASSERT_EQ(Expand(stream, static_cast<uint32_t>(original.size()), back, error),
              eVClientResult::Success);
    EXPECT_EQ(back, original) << level;
  }
  EXPECT_EQ(Compress(original, -1), Compress(original, 6));
}

TEST(CodecBuffers, InvalidLevelFailsToStart) {
  for (int level : {10, -2}) {
    BufferRef out;
    std::u16string error;
    EXPECT_EQ(DeflateBuffer(level, MakeBuffer("abc").get(), out.Receive(), error),
              eVClientResult::Failed);
    EXPECT_EQ(error, u"deflateInit failed");
    EXPECT_FALSE(out);
  }
}

// Data that does not compress grows by a few bytes per block; a file of tens
// of megabytes of it needs more than 2048 bytes of room.
TEST(CodecBuffers, IncompressibleDataStillCompresses) {
  const std::string original = Random(size_t(32) << 20);
  for (int level : {0}) {
    const std::string stream = Compress(original, level);
    EXPECT_GT(stream.size(), original.size() + 2048) << level;
    std::string back;
    std::u16string error;
    ASSERT_EQ(Expand(stream, static_cast<uint32_t>(original.size()), back, error),
              eVClientResult::Success);
    EXPECT_TRUE(back == original);
  }
}

TEST(CodecBuffers, ExpectedSizeOneByteShortFails) {
  const std::string original = Sample(5000);
  std::string back = "untouched";
  std::u16string error;
  EXPECT_EQ(Expand(Compress(original), 4999, back, error), eVClientResult::Failed);
  EXPECT_EQ(error, u"inflate failed");
  EXPECT_EQ(back, "untouched");
}

TEST(CodecBuffers, ExpectedSizeLargerGivesTheRealLength) {
  const std::string original = Sample(5000);
  std::string back;
  std::u16string error;
  ASSERT_EQ(Expand(Compress(original), 5001, back, error), eVClientResult::Success);
  EXPECT_EQ(back, original);
  ASSERT_EQ(Expand(Compress(original), 1 << 20, back, error), eVClientResult::Success);
  EXPECT_EQ(back, original);
}

TEST(CodecBuffers, BytesAfterTheStreamAreIgnored) {
  const std::string original = Sample(5000);
  std::string back;
  std::u16string error;
  ASSERT_EQ(Expand(Compress(original) + "trailing garbage", 5000, back, error),
            eVClientResult::Success);
  EXPECT_EQ(back, original);
}

TEST(CodecBuffers, DamagedStreamsFail) {
  const std::string original = Sample(5000);
  const std::string stream = Compress(original);
  std::string brokenCheck = stream;
  brokenCheck[brokenCheck.size() - 1] ^= 1;  // last byte of the Adler-32
  std::string brokenHeader = stream;
  brokenHeader[0] = 0x79;
  const std::string cases[] = {brokenCheck, brokenHeader, stream.substr(0, stream.size() - 4),
                               stream.substr(0, stream.size() / 2), std::string()};
  for (const std::string& damaged : cases) {
    std::string back;
    std::u16string error;
    EXPECT_EQ(Expand(damaged, 5000, back, error), eVClientResult::Failed) << damaged.size();
    EXPECT_EQ(error, u"inflate failed");
  }
  std::u16string error;
  BufferRef out;
  EXPECT_EQ(InflateBuffer(nullptr, 10, out.Receive(), error), eVClientResult::Failed);
  EXPECT_EQ(error, u"inflate failed");
}

TEST(CodecBuffers, EmptyContent) {
  const std::string stream = Compress("");
  ASSERT_FALSE(stream.empty());
  std::string back = "x";
  std::u16string error;
  ASSERT_EQ(Expand(stream, 0, back, error), eVClientResult::Success);
  EXPECT_EQ(back, "");
}

// A manifest may name any size; one that cannot be held is a failure, not a
// crash.
TEST(CodecBuffers, AbsurdExpectedSizeFailsCleanly) {
  const std::string stream = Compress(Sample(1000));
  for (uint32_t size : {0xFFFFFFFFu, 0x80000000u}) {
    std::string back;
    std::u16string error;
    EXPECT_EQ(Expand(stream, size, back, error), eVClientResult::Failed);
    EXPECT_EQ(error.rfind(u"inflate failed", 0), 0u);
  }
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The largest size a buffer can describe, in a process whose memory is too
// small for it: the allocation itself fails.
TEST(CodecBuffers, AllocationFailureIsACleanFailure) {
  const std::string stream = Compress(Sample(1000));
  const int code = VendraTest::RunUnprivileged([&] {
    const rlimit limit{size_t(1) << 30, size_t(1) << 30};
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 3;
    BufferRef out;
    std::u16string error;
    const eVClientResult r = InflateBuffer(MakeBuffer(stream).get(), 0x7FFFFFFF, out.Receive(), error);
    return r == eVClientResult::Failed && !out && error.rfind(u"inflate failed", 0) == 0 ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
}
#endif

// ---- Files -----------------------------------------------------------------

class CodecFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = Sample(300000);
    WriteTextFile(folder_.Sub("file.z"), Compress(original_));
  }
  VendraTest::TempFolder folder_;
  std::string original_;
};

TEST_F(CodecFiles, InflateFileWritesTheExpandedFile) {
  int32_t outputSize = 0;
  std::u16string error;
  ASSERT_EQ(InflateFile(folder_.WSub("file.z"), 300000, folder_.WSub("deep/er/file"), outputSize,
                        error),
            eVClientResult::Success);
  EXPECT_EQ(outputSize, 300000);
  EXPECT_TRUE(ReadTextFile(folder_.Sub("deep/er/file")) == original_);

  // A larger expected size gives the real length, in the file too.
  ASSERT_EQ(InflateFile(folder_.WSub("file.z"), 400000, folder_.WSub("bigger"), outputSize, error),
            eVClientResult::Success);
  EXPECT_EQ(outputSize, 300000);
  EXPECT_EQ(std::filesystem::file_size(folder_.Sub("bigger")), 300000u);
}

// A file of several expansion blocks: checked across the blocks; a stream
// damaged or cut far into it, or a wrong digest, leaves neither the target
// nor the new file beside it.
TEST_F(CodecFiles, ExpansionAcrossBlocksIsCheckedWhole) {
  const std::string large = Sample(9 << 20);
  const std::string packed = Compress(large);
  WriteTextFile(folder_.Sub("large.z"), packed);
  std::string damaged = packed;
  damaged[damaged.size() * 3 / 4] ^= 0x40;
  WriteTextFile(folder_.Sub("damaged.z"), damaged);
  WriteTextFile(folder_.Sub("cut.z"), packed.substr(0, packed.size() - 3));
  ExpectedFile expected;
  expected.path = folder_.WSub("out/large");
  expected.size = static_cast<uint32_t>(large.size());
  expected.sha256 = VendraTest::Sha256Hex(large);
  int32_t outputSize = 0;
  std::u16string error;
  ASSERT_EQ(ExpandVerified(folder_.WSub("large.z"), expected, outputSize, error),
            eVClientResult::Success);
  EXPECT_EQ(outputSize, static_cast<int32_t>(large.size()));
  EXPECT_TRUE(ReadTextFile(folder_.Sub("out/large")) == large);
  std::filesystem::remove(folder_.Sub("out/large"));

  for (const char* name : {"damaged.z", "cut.z"}) {
    EXPECT_NE(ExpandVerified(folder_.WSub(name), expected, outputSize, error),
              eVClientResult::Success)
        << name;
    EXPECT_EQ(outputSize, 0);
  }
  EXPECT_EQ(error, u"inflate failed") << "the checksum's bytes are missing";
  expected.sha256 = std::string(64, '0');
  EXPECT_EQ(ExpandVerified(folder_.WSub("large.z"), expected, outputSize, error),
            eVClientResult::VerifyFailed);
  EXPECT_NE(error.find(u"where 0000"), std::u16string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(folder_.Sub("out"))) << "no new file left beside it";
}

TEST_F(CodecFiles, InflateFailuresWriteNothing) {
  WriteTextFile(folder_.Sub("empty.z"), "");
  std::string broken = ReadTextFile(folder_.Sub("file.z"));
  broken[broken.size() - 2] ^= 0x40;
  WriteTextFile(folder_.Sub("broken.z"), broken);
  const std::pair<const char*, uint32_t> cases[] = {
      {"file.z", 299999}, {"missing.z", 300000}, {"empty.z", 0}, {"broken.z", 300000}};
  for (const auto& [name, size] : cases) {
    int32_t outputSize = 77;
    std::u16string error;
    EXPECT_EQ(InflateFile(folder_.WSub(name), size, folder_.WSub("out"), outputSize, error),
              eVClientResult::Failed)
        << name;
    EXPECT_EQ(error, u"inflate failed");
    EXPECT_EQ(outputSize, 0);
    EXPECT_FALSE(std::filesystem::exists(folder_.Sub("out"))) << name;
  }
}

// Outputs that cannot be written, in both directions: a folder that cannot
// be made (a file in its place), and a folder in the output's place, which
// the final rename meets and reports as access denied.
TEST_F(CodecFiles, OutputsThatCannotBeWritten) {
  WriteTextFile(folder_.Sub("plain"), "x");
  WriteTextFile(folder_.Sub("input"), original_);
  std::filesystem::create_directories(folder_.Sub("taken/inside"));
  const struct {
    const char* output;
    eVClientResult code;
    std::u16string inflateText;
    std::u16string deflateText;
  } cases[] = {
      {"plain/out", eVClientResult::Failed, u"Inflate: WriteFile failed; err=2",
       u"Deflate: WriteFile failed; err=2"},
      {"taken", eVClientResult::AccessDenied, kInflateDenied, kDeflateDenied},
  };
  for (const auto& item : cases) {
    SCOPED_TRACE(item.output);
    int32_t outputSize = 77, inputSize = 0, compressedSize = 77;
    std::u16string error;
    EXPECT_EQ(InflateFile(folder_.WSub("file.z"), 300000, folder_.WSub(item.output), outputSize,
                          error),
              item.code);
    EXPECT_EQ(error, item.inflateText);
    EXPECT_EQ(outputSize, 0);
    EXPECT_EQ(DeflateFile(6, folder_.WSub("input"), inputSize, folder_.WSub(item.output),
                          compressedSize, error),
              item.code);
    EXPECT_EQ(error, item.deflateText);
    EXPECT_EQ(compressedSize, 0);
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder_.Sub("taken/inside")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Sub("taken")),
                          std::filesystem::directory_iterator()),
            1) << "no new file left beside the folder";
}

TEST_F(CodecFiles, DeflateFileRoundTrip) {
  WriteTextFile(folder_.Sub("input"), original_);
  int32_t inputSize = 0, compressedSize = 0;
  std::u16string error;
  ASSERT_EQ(DeflateFile(9, folder_.WSub("input"), inputSize, folder_.WSub("sub/input.z"),
                        compressedSize, error),
            eVClientResult::Success);
  EXPECT_EQ(inputSize, 300000);
  EXPECT_EQ(compressedSize, static_cast<int32_t>(std::filesystem::file_size(folder_.Sub("sub/input.z"))));
  EXPECT_EQ(ReadTextFile(folder_.Sub("sub/input.z")), Compress(original_, 9));
}

TEST_F(CodecFiles, DeflateOfAMissingFileWritesAnEmptyStream) {
  int32_t inputSize = 5, compressedSize = 0;
  std::u16string error;
  ASSERT_EQ(DeflateFile(-1, folder_.WSub("missing"), inputSize, folder_.WSub("missing.z"),
                        compressedSize, error),
            eVClientResult::Success);
  EXPECT_EQ(inputSize, 0);
  EXPECT_GT(compressedSize, 0);
  int32_t outputSize = 5;
  ASSERT_EQ(InflateFile(folder_.WSub("missing.z"), 0, folder_.WSub("again"), outputSize, error),
            eVClientResult::Success);
  EXPECT_EQ(outputSize, 0);
  EXPECT_TRUE(std::filesystem::exists(folder_.Sub("again")));
  EXPECT_EQ(std::filesystem::file_size(folder_.Sub("again")), 0u);
}

TEST_F(CodecFiles, DeflateFileWithLevelTenWritesNothing) {
  WriteTextFile(folder_.Sub("input"), "abc");
  int32_t inputSize = 0, compressedSize = 9;
  std::u16string error;
  EXPECT_EQ(DeflateFile(10, folder_.WSub("input"), inputSize, folder_.WSub("input.z"),
                        compressedSize, error),
            eVClientResult::Failed);
  EXPECT_EQ(error, u"deflateInit failed");
  EXPECT_EQ(inputSize, 3);
  EXPECT_EQ(compressedSize, 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.Sub("input.z")));
}

// Permissions are real only for an unprivileged process, so these run in a
// child that has given up root.
TEST_F(CodecFiles, ReadOnlyOutputFileIsAccessDenied) {
  WriteTextFile(folder_.Sub("input"), original_);
  WriteTextFile(folder_.Sub("locked"), "keep me");
  std::filesystem::permissions(folder_.Sub("locked"), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
  const std::u16string z = folder_.WSub("file.z"), input = folder_.WSub("input"),
                       locked = folder_.WSub("locked");
  const auto attempt = [&] {
    int32_t outputSize = 5, inputSize = 0, compressedSize = 5;
    std::u16string inflateError, deflateError;
    const eVClientResult inflated = InflateFile(z, 300000, locked, outputSize, inflateError);
    const eVClientResult deflated =
        DeflateFile(6, input, inputSize, locked, compressedSize, deflateError);
    int failures = 0;
    failures += inflated != eVClientResult::AccessDenied || inflateError != kInflateDenied;
    failures += outputSize != 0;
    failures += deflated != eVClientResult::AccessDenied || deflateError != kDeflateDenied;
    failures += compressedSize != 0;
    return failures;
  };
#ifdef _WIN32
  // The read-only attribute binds administrators too: no other user needed.
  // Wine keeps the attribute as Unix mode bits, which root ignores.
  if (std::ofstream(std::filesystem::path(locked), std::ios::app))
    GTEST_SKIP() << "Wine run by root does not enforce the read-only attribute";
  const int code = attempt();
#else
  // A file nobody may write binds root as well, though every access check
  // lets root through; and another user, who fails the check.
  EXPECT_EQ(attempt(), 0) << "as root";
  const int code = VendraTest::RunUnprivileged(attempt);
#endif
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTextFile(folder_.Sub("locked")), "keep me");
}

#if !defined(_WIN32)
// A read-only folder still takes new files on Windows; the POSIX run covers it.
TEST_F(CodecFiles, FolderWithoutWriteAccessIsAccessDenied) {
  std::filesystem::create_directory(folder_.Sub("closed"));
  std::filesystem::permissions(folder_.Sub("closed"),
                               std::filesystem::perms::owner_all |
                                   std::filesystem::perms::group_read |
                                   std::filesystem::perms::group_exec |
                                   std::filesystem::perms::others_read |
                                   std::filesystem::perms::others_exec);
  const std::u16string z = folder_.WSub("file.z"), target = folder_.WSub("closed/out");
  const int code = VendraTest::RunUnprivileged([&] {
    int32_t outputSize = 5;
    std::u16string error;
    const eVClientResult r = InflateFile(z, 300000, target, outputSize, error);
    return r == eVClientResult::AccessDenied && error == kInflateDenied && outputSize == 0 ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.Sub("closed/out")));
}


// A write that stops part-way (here: the file size limit, as a full disk
// would) reports err=0 and leaves no truncated file behind.
TEST_F(CodecFiles, ShortWriteLeavesNoPartialFile) {
  std::filesystem::create_directory(folder_.Sub("open"));
  std::filesystem::permissions(folder_.Sub("open"), std::filesystem::perms::all);
  const std::u16string z = folder_.WSub("file.z"), target = folder_.WSub("open/cut");
  const int code = VendraTest::RunUnprivileged([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    int32_t outputSize = 5;
    std::u16string error;
    const eVClientResult r = InflateFile(z, 300000, target, outputSize, error);
    return r == eVClientResult::Failed && error == u"Inflate: WriteFile failed; err=0" &&
                   outputSize == 0
               ? 0
               : 1;
  });
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.Sub("open/cut")));
}
#endif

}  // namespace
