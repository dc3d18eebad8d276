// The file calls of the platform layer that answer the same on both systems.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/paths.h"
#include "platform/sys_error.h"
#include "tests/support/temp_folder.h"

using namespace VendraPlatform;
using VendraTest::ReadTextFile;
using VendraTest::WriteTextFile;

namespace {

// Windows takes a file name beyond ASCII only wide.
std::filesystem::path Native(const std::string& utf8) {
  return std::filesystem::path(VendraText::Utf8ToUtf16(utf8));
}

}  // namespace

TEST(CreateLocalPath, AnswersTheFolderCreationCodes) {
  VendraTest::TempFolder tmp;
  uint32_t error = 99;
  EXPECT_FALSE(CreateLocalPath(u"no-separator.json", error));
  EXPECT_EQ(error, SysError::kPathNotFound);

  EXPECT_TRUE(CreateLocalPath(tmp.WSub("a/b\\c/file.z"), error));
  EXPECT_EQ(error, SysError::kSuccess);
  EXPECT_TRUE(std::filesystem::is_directory(Native(tmp.Sub("a/b/c"))));

  EXPECT_TRUE(CreateLocalPath(tmp.WSub("a\\b\\c\\other.z"), error));
  EXPECT_EQ(error, SysError::kAlreadyExists);

  // A file standing where a folder is needed.
  WriteTextFile(tmp.Sub("plain"), "x");
  EXPECT_FALSE(CreateLocalPath(tmp.WSub("plain/sub/file"), error));
  EXPECT_NE(error, SysError::kSuccess);
  EXPECT_FALSE(CreateLocalPath(tmp.WSub("plain/file"), error)) << "a file is not a folder";
  EXPECT_EQ(error, SysError::kPathNotFound);
}

TEST(MoveFileReplacing, ReplacesTheTargetAndReportsMissingSources) {
  VendraTest::TempFolder tmp;
  WriteTextFile(tmp.Sub("new"), "new content");
  WriteTextFile(tmp.Sub("target"), "old");
  EXPECT_EQ(MoveFileReplacing(tmp.WSub("new"), tmp.WSub("target")), 0u);
  EXPECT_EQ(ReadTextFile(tmp.Sub("target")), "new content");
  EXPECT_FALSE(FileExists(tmp.WSub("new")));
  EXPECT_EQ(MoveFileReplacing(tmp.WSub("new"), tmp.WSub("target")), SysError::kFileNotFound);
}

TEST(WriteFileAtomically, ReplacesWholeAndLeavesNothingBehind) {
  VendraTest::TempFolder tmp;
  EXPECT_EQ(WriteFileAtomically(tmp.WSub("f.json"), "first"), 0u);
  EXPECT_EQ(WriteFileAtomically(tmp.WSub("f.json"), "second"), 0u);
  EXPECT_EQ(ReadTextFile(tmp.Sub("f.json")), "second");
  EXPECT_EQ(WriteFileAtomically(tmp.WSub("missing/f.json"), "x"), SysError::kPathNotFound);
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(Native(tmp.path()))) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST(File, WritesReadsAndReportsErrors) {
  VendraTest::TempFolder tmp;
  File out;
  ASSERT_EQ(out.CreateForWriting(tmp.WSub("data.bin")), 0u);
  ASSERT_EQ(out.Write("abc\0def", 7), 0u);
  EXPECT_EQ(out.Flush(), 0u);
  File moved(std::move(out));
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(moved.Close(), 0u);
  std::string bytes;
  EXPECT_EQ(ReadWholeFile(tmp.WSub("data.bin"), bytes), 0u);
  EXPECT_EQ(bytes, std::string("abc\0def", 7));
  File in;
  EXPECT_EQ(in.OpenForReading(tmp.WSub("nothing")), SysError::kFileNotFound);
  EXPECT_EQ(in.CreateForWriting(tmp.WSub("no/folder")), SysError::kPathNotFound);
  EXPECT_EQ(DeleteFile(tmp.WSub("data.bin")), 0u);
  EXPECT_EQ(DeleteFile(tmp.WSub("data.bin")), SysError::kFileNotFound);
}

TEST(TempFile, IsCreatedUniqueInTheFolder) {
  VendraTest::TempFolder tmp;
  std::u16string a, b;
  ASSERT_EQ(CreateTempFile(tmp.wpath(), u"vc", a), 0u);
  ASSERT_EQ(CreateTempFile(tmp.wpath(), u"vc", b), 0u);
  EXPECT_NE(a, b);
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ(CreateTempFile(tmp.WSub("missing"), u"vc", a), SysError::kPathNotFound);
  EXPECT_TRUE(FolderExists(TempFolder()));
  // With or without a prefix, the file lands inside the folder, never
  // beside it with the folder's name as its start.
  for (const std::u16string prefix : {u"vc", u""}) {
    ASSERT_EQ(CreateTempFile(tmp.wpath(), prefix, a), 0u);
    EXPECT_EQ(std::u16string(FolderOf(a)), tmp.wpath());
  }
}
