#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/sys_error.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraPlatform;
using VendraTest::ReadTextFile;

using VendraTest::WriteTextFile;

TEST(CreateLocalPath, DeniedFolderGivesAccessDenied) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  VendraTest::TempFolder tmp;  // owned by root, 0755
  const std::u16string target = tmp.WSub("locked/file.z");
  const int code = VendraTest::RunUnprivileged([&] {
    uint32_t error = 0;
    const bool ok = CreateLocalPath(target, error);
    return ok ? 100 : static_cast<int>(error);
  });
  EXPECT_EQ(code, static_cast<int>(SysError::kAccessDenied));
}

TEST(SharedFolder, EveryUserAddsFilesButNobodyReplacesAnothersFile) {
  VendraTest::TempFolder tmp;
  const std::u16string shared = tmp.WSub("Vendra Software");
  ASSERT_TRUE(CreateSharedFolder(shared));
  EXPECT_FALSE(CreateSharedFolder(shared)) << "an existing folder is left alone";
  struct stat st;
  ASSERT_EQ(::stat(tmp.Sub("Vendra Software").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 01777u);

  // Root's file, which another user must not alter or replace.
  ASSERT_EQ(WriteFileAtomically(tmp.WSub("Vendra Software/localStorage.json"), "{}"), 0u);
  ASSERT_EQ(CreateFolderTree(tmp.WSub("Vendra Software/utils")), 0u);
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  const int code = VendraTest::RunUnprivileged([&] {
    if (WriteFileAtomically(tmp.WSub("Vendra Software/mine.json"), "{}") != 0) return 1;
    if (WriteFileAtomically(tmp.WSub("Vendra Software/localStorage.json"), "evil") !=
        SysError::kAccessDenied)
      return 2;
    if (WriteFileAtomically(tmp.WSub("Vendra Software/utils/VendraBuild.exe"), "evil") !=
        SysError::kAccessDenied)
      return 3;
    if (DeleteFile(tmp.WSub("Vendra Software/localStorage.json")) != SysError::kAccessDenied)
      return 4;
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTextFile(tmp.Sub("Vendra Software/localStorage.json")), "{}");
}

TEST(MoveFileReplacing, CrossesFileSystems) {
  // /dev/shm is a tmpfs on Linux; the temporary folder usually is not.
  if (!std::filesystem::is_directory("/dev/shm")) GTEST_SKIP();
  VendraTest::TempFolder tmp;
  const std::string source = "/dev/shm/vendra-move-" + std::to_string(::getpid());
  WriteTextFile(source, "across");
  EXPECT_EQ(MoveFileReplacing(VendraText::Utf8ToUtf16(source), tmp.WSub("target")), 0u);
  EXPECT_EQ(ReadTextFile(tmp.Sub("target")), "across");
  EXPECT_FALSE(std::filesystem::exists(source));
}

TEST(WriteFileAtomically, LeavesAReadOnlyFileAlone) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  VendraTest::TempFolder tmp;
  ::chmod(tmp.path().c_str(), 0777);
  WriteTextFile(tmp.Sub("locked.json"), "old");
  ::chmod(tmp.Sub("locked.json").c_str(), 0444);
  const int code = VendraTest::RunUnprivileged(
      [&] { return static_cast<int>(WriteFileAtomically(tmp.WSub("locked.json"), "new")); });
  EXPECT_EQ(code, static_cast<int>(SysError::kAccessDenied));
  EXPECT_EQ(ReadTextFile(tmp.Sub("locked.json")), "old");
}

TEST(ListFolder, ReportsSizesBeyondFourGigabytes) {
  VendraTest::TempFolder tmp;
  ASSERT_EQ(::truncate((WriteTextFile(tmp.Sub("sparse"), ""), tmp.Sub("sparse")).c_str(),
                       5'000'000'000LL),
            0);
  ASSERT_EQ(CreateFolderTree(tmp.WSub("sub")), 0u);
  std::vector<FolderEntry> entries;
  ASSERT_EQ(ListFolder(tmp.wpath(), entries), 0u);
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& e : entries) {
    if (e.name == u"sparse") {
      EXPECT_FALSE(e.isFolder);
      EXPECT_EQ(e.size, 5'000'000'000ULL);
    } else {
      EXPECT_EQ(e.name, u"sub");
      EXPECT_TRUE(e.isFolder);
    }
  }
  EXPECT_EQ(ListFolder(tmp.WSub("none"), entries), SysError::kFileNotFound);
}

// A pipe or a device planted where a file is expected is refused at once:
// opening a pipe nobody writes to would otherwise wait for ever. A small
// file of ours is not even read through a link.
TEST(File, SpecialFilesAreRefusedWithoutWaiting) {
  VendraTest::TempFolder tmp;
  ASSERT_EQ(::mkfifo(tmp.Sub("pipe").c_str(), 0600), 0);
  WriteTextFile(tmp.Sub("target"), "12345\n");
  ASSERT_EQ(::symlink(tmp.Sub("target").c_str(), tmp.Sub("link").c_str()), 0);
  for (const std::u16string& path : {tmp.WSub("pipe"), std::u16string(u"/dev/full"), tmp.wpath()}) {
    File in, out;
    EXPECT_EQ(in.OpenForReading(path), SysError::kAccessDenied);
    EXPECT_EQ(out.CreateForWriting(path), SysError::kAccessDenied);
    EXPECT_FALSE(in.IsOpen() || out.IsOpen());
  }
  for (const std::u16string& path :
       {tmp.WSub("pipe"), std::u16string(u"/dev/full"), tmp.wpath(), tmp.WSub("link")}) {
    std::string bytes;
    std::u16string problem;
    EXPECT_EQ(ReadSmallFile(path, 100, bytes, problem), SysError::kNotAPlainFile);
    EXPECT_EQ(problem, path + u" is not a plain file: a folder, a link or a device is in its place.");
  }
}

// A small file of ours is read up to its limit and no further, whatever size
// it claims or reaches: a planted sparse file of 64 GB costs nothing.
TEST(File, SmallFilesAreReadUpToTheirLimit) {
  VendraTest::TempFolder tmp;
  WriteTextFile(tmp.Sub("sparse"), "");
  ASSERT_EQ(::truncate(tmp.Sub("sparse").c_str(), 64LL << 30), 0);
  WriteTextFile(tmp.Sub("exact"), "0123456789");
  struct Case {
    std::string name;
    uint32_t answer;
    std::string bytes;
  } cases[] = {
      {"exact", SysError::kSuccess, "0123456789"},
      {"sparse", SysError::kFileTooLarge, ""},
      {"missing", SysError::kFileNotFound, ""},
      {"exact/below", SysError::kPathNotFound, ""},
  };
  for (const Case& c : cases) {
    std::string bytes = "left over";
    std::u16string problem;
    EXPECT_EQ(ReadSmallFile(tmp.WSub(c.name), 10, bytes, problem), c.answer) << c.name;
    EXPECT_EQ(bytes, c.bytes) << c.name;
    EXPECT_EQ(problem.empty(), c.answer == 0) << c.name;
    if (!problem.empty()) {
      EXPECT_EQ(problem.find(tmp.WSub(c.name)), 0u) << c.name;
    }
  }
  std::string bytes;
  std::u16string problem;
  EXPECT_EQ(ReadSmallFile(tmp.WSub("exact"), 9, bytes, problem), SysError::kFileTooLarge);
  EXPECT_EQ(VendraText::Utf16ToUtf8(problem),
            tmp.Sub("exact") + " holds more than 9 bytes, more than it ever should.");
}

