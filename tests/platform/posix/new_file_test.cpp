// New files beside their target, folders that must stay inside their root,
// and the trust rule for the shared data folder's sub-folders, attacked the
// way another local user would.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "platform/executable.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/sys_error.h"
#include "platform/trusted_folder.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraPlatform;
using VendraTest::ReadTextFile;
using VendraTest::WriteTextFile;

namespace {

size_t EntriesIn(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

uint32_t WriteNew(std::u16string_view within, std::u16string_view target, std::string_view bytes,
                  bool place = true) {
  NewFile file;
  if (const uint32_t err = file.Create(within, target)) return err;
  if (const uint32_t err = file.Output().Write(bytes.data(), bytes.size())) return err;
  return place ? file.Place() : 0;
}

}  // namespace

// Whatever stands at the target (a file, a link, a pipe) is replaced by the
// rename; what a link points at is never written, and a file given up on
// leaves nothing behind.
TEST(NewFile, ReplacesWhatIsAtTheTargetWithoutFollowingIt) {
  VendraTest::TempFolder tmp, elsewhere;
  WriteTextFile(elsewhere.Sub("victim"), "precious");
  enum class At { Nothing, File, Link, DanglingLink, Pipe };
  for (const At at : {At::Nothing, At::File, At::Link, At::DanglingLink, At::Pipe}) {
    SCOPED_TRACE(static_cast<int>(at));
    const std::string target = tmp.Sub("sub/Tandory.cfg");
    std::filesystem::remove_all(tmp.Sub("sub"));
    std::filesystem::create_directory(tmp.Sub("sub"));
    if (at == At::File) WriteTextFile(target, "old");
    if (at == At::Link) std::filesystem::create_symlink(elsewhere.Sub("victim"), target);
    if (at == At::DanglingLink) std::filesystem::create_symlink(elsewhere.Sub("planted"), target);
    if (at == At::Pipe) {
      ASSERT_EQ(::mkfifo(target.c_str(), 0666), 0);
    }

    EXPECT_EQ(WriteNew(tmp.wpath(), VendraText::Utf8ToUtf16(target), "abandoned", false), 0u);
    EXPECT_EQ(EntriesIn(tmp.Sub("sub")), at == At::Nothing ? 0u : 1u) << "the abandoned file is gone";

    ASSERT_EQ(WriteNew(tmp.wpath(), VendraText::Utf8ToUtf16(target), "new"), 0u);
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(target)));
    EXPECT_EQ(ReadTextFile(target), "new");
    EXPECT_EQ(EntriesIn(tmp.Sub("sub")), 1u);
    EXPECT_EQ(ReadTextFile(elsewhere.Sub("victim")), "precious");
    EXPECT_FALSE(std::filesystem::exists(elsewhere.Sub("planted")));
  }
}

// A folder on the way to the file that is a link is entered only when it
// resolves inside the root; nothing is created or written outside it.
TEST(NewFile, FoldersThatLeadOutsideTheRootAreRefused) {
  VendraTest::TempFolder install, elsewhere;
  std::filesystem::create_directory(install.Sub("real"));
  std::filesystem::create_directory_symlink(elsewhere.path(), install.Sub("bin"));
  std::filesystem::create_directory_symlink(install.Sub("real"), install.Sub("inside"));
  struct Case {
    const char* target;
    uint32_t expected;
  } const cases[] = {
      {"bin/engine.dll", kOutsideFolder},
      {"bin/deeper/engine.dll", kOutsideFolder},
      {"inside/engine.dll", 0},
      {"inside/deeper/engine.dll", 0},
      {"plain/deeper/engine.dll", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    EXPECT_EQ(WriteNew(install.wpath(), install.WSub(c.target), "x"), c.expected);
  }
  EXPECT_EQ(EntriesIn(elsewhere.path()), 0u);
  EXPECT_EQ(ReadTextFile(install.Sub("real/deeper/engine.dll")), "x");
  EXPECT_EQ(CreateFolderInside(install.wpath(), install.WSub("bin/made")), kOutsideFolder);
  EXPECT_EQ(CreateFolderInside(install.wpath(), elsewhere.wpath()), kOutsideFolder);
  EXPECT_EQ(CreateFolderInside(install.wpath(), install.WSub("a/../../escape")), kOutsideFolder);
  EXPECT_EQ(EntriesIn(elsewhere.path()), 0u);
}

// Removing a product's file, moving the user's aside or marking the
// program never reaches through a folder another user replaced by a link:
// what lies behind it keeps its files and modes, whatever their names. A
// link standing at the file's own name is removed or moved itself, and
// never marked; nor is a second name of another file.
TEST(NewFile, ChangesInsideNeverFollowAFolderOutOfTheRoot) {
  enum Operation { Delete, MoveAside, Mark };
  struct Case {
    const char* target;
    uint32_t expected[3];  // by Operation
  } const cases[] = {
      {"bin/engine.dll", {kOutsideFolder, kOutsideFolder, kOutsideFolder}},
      {"bin/deeper/engine.dll", {kOutsideFolder, kOutsideFolder, kOutsideFolder}},
      {"../escape.dll", {kOutsideFolder, kOutsideFolder, kOutsideFolder}},
      {"inside/engine.dll", {0, 0, 0}},
      {"plain.dll", {0, 0, 0}},
      {"linked.dll", {0, 0, SysError::kAccessDenied}},
      {"second-name.dll", {0, 0, SysError::kAccessDenied}},
      {"missing.dll", {SysError::kFileNotFound, SysError::kFileNotFound, SysError::kFileNotFound}},
  };
  for (const Operation operation : {Delete, MoveAside, Mark}) {
    SCOPED_TRACE(operation);
    VendraTest::TempFolder install, elsewhere;
    WriteTextFile(elsewhere.Sub("engine.dll"), "precious");
    std::filesystem::create_directory(elsewhere.Sub("deeper"));
    WriteTextFile(elsewhere.Sub("deeper/engine.dll"), "precious");
    ::chmod(elsewhere.Sub("engine.dll").c_str(), 0600);
    std::filesystem::create_directory(install.Sub("real"));
    WriteTextFile(install.Sub("real/engine.dll"), "ours");
    WriteTextFile(install.Sub("plain.dll"), "ours");
    std::filesystem::create_directory_symlink(elsewhere.path(), install.Sub("bin"));
    std::filesystem::create_directory_symlink(install.Sub("real"), install.Sub("inside"));
    std::filesystem::create_symlink(elsewhere.Sub("engine.dll"), install.Sub("linked.dll"));
    std::filesystem::create_hard_link(elsewhere.Sub("engine.dll"), install.Sub("second-name.dll"));
    for (const Case& c : cases) {
      SCOPED_TRACE(c.target);
      const std::u16string path = install.WSub(c.target);
      std::u16string aside;
      const uint32_t answer = operation == Delete      ? DeleteFileInside(install.wpath(), path)
                              : operation == MoveAside ? MoveAsideInside(install.wpath(), path, aside)
                                                       : MarkExecutable(install.wpath(), path);
      EXPECT_EQ(answer, c.expected[operation]);
      if (operation == MoveAside && answer == 0) {
        EXPECT_EQ(aside, path + u".user-1");
      }
    }
    EXPECT_EQ(ReadTextFile(elsewhere.Sub("engine.dll")), "precious");
    EXPECT_EQ(ReadTextFile(elsewhere.Sub("deeper/engine.dll")), "precious");
    EXPECT_EQ(std::filesystem::status(elsewhere.Sub("engine.dll")).permissions(),
              std::filesystem::perms(0600));
    EXPECT_EQ(std::filesystem::exists(install.Sub("real/engine.dll")), operation == Mark);
    EXPECT_EQ(std::filesystem::exists(install.Sub("plain.dll")), operation == Mark);
    EXPECT_EQ(std::filesystem::is_symlink(install.Sub("linked.dll")), operation == Mark);
    if (operation == Mark) {
      EXPECT_EQ(std::filesystem::status(install.Sub("plain.dll")).permissions(),
                std::filesystem::perms(0755));
    }
    if (operation == MoveAside) {
      EXPECT_EQ(ReadTextFile(install.Sub("plain.dll.user-1")), "ours");
      EXPECT_TRUE(std::filesystem::is_symlink(install.Sub("linked.dll.user-1")));
      // The next one goes to the next free name.
      WriteTextFile(install.Sub("plain.dll"), "again");
      std::u16string aside;
      EXPECT_EQ(MoveAsideInside(install.wpath(), install.WSub("plain.dll"), aside), 0u);
      EXPECT_EQ(aside, install.WSub("plain.dll.user-2"));
      EXPECT_EQ(ReadTextFile(install.Sub("plain.dll.user-1")), "ours");
    }
  }
}

// A file its caller may not write is not replaced by the rename either.
TEST(NewFile, AReadOnlyTargetStaysForAUserWhoMayNotWriteIt) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  VendraTest::TempFolder tmp;
  ::chmod(tmp.path().c_str(), 0777);
  WriteTextFile(tmp.Sub("fixed"), "kept");
  ::chown(tmp.Sub("fixed").c_str(), VendraTest::UnprivilegedUid(), VendraTest::UnprivilegedUid());
  ::chmod(tmp.Sub("fixed").c_str(), 0444);
  const int code = VendraTest::RunUnprivileged(
      [&] { return WriteNew(u"", tmp.WSub("fixed"), "new") == SysError::kAccessDenied ? 0 : 1; });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTextFile(tmp.Sub("fixed")), "kept");
  EXPECT_EQ(EntriesIn(tmp.path()), 1u);
}

// The shared folder is open to everyone; its sub-folders are used only when
// they are this program's own. A program run by root moves anything else
// aside; a program without root leaves it and refuses, naming the folder and
// its owner.
TEST(TrustedFolder, OnlyTheProgramsOwnFolderIsUsed) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to play the other user";
  VendraTest::TempFolder root;
  const std::string shared = root.Sub("shared");
  ASSERT_TRUE(CreateSharedFolder(VendraText::Utf8ToUtf16(shared)));
  ::chmod(root.path().c_str(), 0755);
  const std::string utils = shared + "/utils";
  const std::u16string wideUtils = VendraText::Utf8ToUtf16(utils);
  std::u16string problem;

  // Missing: made, owned by this program, closed to others.
  ASSERT_EQ(EnsureTrustedFolder(wideUtils, problem), 0u);
  struct stat st {};
  ASSERT_EQ(::lstat(utils.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(EnsureTrustedFolder(wideUtils, problem), 0u) << "the program's own folder is kept";
  EXPECT_EQ(EntriesIn(shared), 1u);

  // Another user's folder, a folder others may write to, a link to another
  // user's folder: each is set aside, with what it holds, and remade.
  enum class Plant { OthersFolder, Writable, Link, File };
  for (const Plant plant : {Plant::OthersFolder, Plant::Writable, Plant::Link, Plant::File}) {
    SCOPED_TRACE(static_cast<int>(plant));
    std::filesystem::remove_all(utils);
    if (plant == Plant::Writable) {
      ASSERT_EQ(::mkdir(utils.c_str(), 0777), 0);
      ::chmod(utils.c_str(), 0777);
    } else {
      ASSERT_EQ(VendraTest::RunUnprivileged([&] {
                  const std::string theirs = plant == Plant::Link ? shared + "/theirs" : utils;
                  if (plant == Plant::File) return WriteTextFile(utils, "x"), 0;
                  if (::mkdir(theirs.c_str(), 0755) != 0) return 1;
                  WriteTextFile(theirs + "/VendraBuild.exe", "planted");
                  return plant == Plant::Link && ::symlink(theirs.c_str(), utils.c_str()) != 0 ? 2 : 0;
                }),
                0);
    }
    ASSERT_EQ(EnsureTrustedFolder(wideUtils, problem), 0u) << VendraText::Utf16ToUtf8(problem);
    ASSERT_EQ(::lstat(utils.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_EQ(EntriesIn(utils), 0u);
    size_t aside = 0;
    for (const auto& e : std::filesystem::directory_iterator(shared))
      if (e.path().filename().string().rfind("utils.untrusted-", 0) == 0) {
        ++aside;
        std::filesystem::remove_all(e.path());
      }
    EXPECT_EQ(aside, 1u);
  }

  // A program without root never moves a folder aside, not even one it
  // could (its own folder open to others): it leaves it and refuses, saying
  // why. A data folder another user owns, or one that lets others rename
  // what it holds, is refused to root as well, and nothing in it is touched.
  const std::string theirs = root.Sub("theirs");
  const std::string loose = root.Sub("loose");
  for (const std::string& data : {theirs, loose}) {
    ASSERT_EQ(::mkdir(data.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((data + "/utils").c_str(), 0755), 0);
  }
  ::chmod(theirs.c_str(), 01777);
  ASSERT_EQ(::chown(theirs.c_str(), 54321, 54321), 0);
  ::chmod(loose.c_str(), 0777);
  struct Row {
    const char* what;
    std::string folder;
    bool asRoot;
    std::string plant;  // "other", "own-open" or "" (made above)
    std::string said;
  } rows[] = {
      {"a third user's folder", utils, false, "other", "belongs to user 54321"},
      {"its own folder open to others", utils, false, "own-open", "may be changed by other users"},
      {"a data folder another user owns", theirs + "/utils", true, "",
       theirs + " belongs to user 54321"},
      {"a data folder others may rename in", loose + "/utils", true, "", loose + " lets other users"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.plant == "other") {
      std::filesystem::remove_all(utils);
      ASSERT_EQ(::mkdir(utils.c_str(), 0755), 0);
      ASSERT_EQ(::chown(utils.c_str(), 54321, 54321), 0);
    } else if (row.plant == "own-open") {
      std::filesystem::remove_all(utils);
      ASSERT_EQ(VendraTest::RunUnprivileged([&] {
                  return ::mkdir(utils.c_str(), 0777) == 0 && ::chmod(utils.c_str(), 0777) == 0 ? 0 : 1;
                }),
                0);
    }
    struct stat before {};
    ASSERT_EQ(::lstat(row.folder.c_str(), &before), 0);
    const auto refuses = [&] {
      std::u16string text;
      if (EnsureTrustedFolder(VendraText::Utf8ToUtf16(row.folder), text) != SysError::kAccessDenied)
        return 1;
      const std::string said = VendraText::Utf16ToUtf8(text);
      return said.find(row.said) != std::string::npos && said.find("nothing is started") != std::string::npos
                 ? 0
                 : 2;
    };
    // A user's run on the machine's own places, which a relocated machine
    // root would let it write.
    const auto refusesAsUser = [&] {
      ::unsetenv("VENDRA_MACHINE_ROOT");
      return refuses();
    };
    EXPECT_EQ(row.asRoot ? refuses() : VendraTest::RunUnprivileged(refusesAsUser), 0);
    struct stat after {};
    ASSERT_EQ(::lstat(row.folder.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "left where it was";
    EXPECT_EQ(after.st_mode, before.st_mode);
  }
  size_t aside = 0;
  for (const auto& e : std::filesystem::directory_iterator(shared))
    aside += e.path().filename().string().rfind("utils.untrusted-", 0) == 0;
  EXPECT_EQ(aside, 0u);
}
