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
// opening a pipe nobody writes to would otherwise wait for ever.
TEST(File, SpecialFilesAreRefusedWithoutWaiting) {
  VendraTest::TempFolder tmp;
  ASSERT_EQ(::mkfifo(tmp.Sub("pipe").c_str(), 0600), 0);
  for (const std::u16string& path : {tmp.WSub("pipe"), std::u16string(u"/dev/full"), tmp.wpath()}) {
    File in, out;
    EXPECT_EQ(in.OpenForReading(path), SysError::kAccessDenied);
    EXPECT_EQ(out.CreateForWriting(path), SysError::kAccessDenied);
    EXPECT_FALSE(in.IsOpen() || out.IsOpen());
  }
}

