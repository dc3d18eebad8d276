#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <aclapi.h>
#include <winioctl.h>
#include <shlobj.h>
// The Windows headers rename DeleteFile, which the platform layer also names.
#undef DeleteFile

#include <filesystem>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/local_path.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/sys_error.h"
#include "platform/trusted_folder.h"
#include "tests/platform/win32/win32_test_support.h"
#include "tests/support/temp_folder.h"

using namespace VendraPlatform;
using VendraTest::ReadTextFile;
using VendraTest::WriteTextFile;
using VendraWin32Test::RunningUnderWine;


namespace {
const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::filesystem::path Native(const std::string& utf8) {
  return std::filesystem::path(VendraText::Utf8ToUtf16(utf8));
}

bool SameSid(PSID a, WELL_KNOWN_SID_TYPE type) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  return ::CreateWellKnownSid(type, nullptr, sid, &size) && ::EqualSid(a, sid);
}
}  // namespace

TEST(CreateLocalPath, DeniedFolderGivesAccessDenied) {
  if (RunningUnderWine()) GTEST_SKIP() << "Wine does not enforce access lists on files";
  VendraTest::TempFolder tmp;
  ASSERT_EQ(CreateFolderTree(tmp.WSub("locked")), 0u);
  // Deny everyone, the owner included, the right to add sub-folders.
  BYTE world[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof world;
  ASSERT_TRUE(::CreateWellKnownSid(WinWorldSid, nullptr, world, &size));
  alignas(DWORD) BYTE aclBuffer[256];
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  ASSERT_TRUE(::InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
  ASSERT_TRUE(::AddAccessDeniedAce(acl, ACL_REVISION, FILE_ADD_SUBDIRECTORY, world));
  ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, world));
  std::u16string locked = tmp.WSub("locked");
  for (char16_t& c : locked)
    if (c == u'/') c = u'\\';
  ASSERT_EQ(::SetNamedSecurityInfoW(const_cast<wchar_t*>(W(locked)), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  uint32_t error = 0;
  EXPECT_FALSE(CreateLocalPath(tmp.WSub("locked/sub/file.z"), error));
  EXPECT_EQ(error, SysError::kAccessDenied);
}

TEST(SharedFolder, EveryUserAddsFilesButOnlyOwnersAndAdministratorsChangeThem) {
  VendraTest::TempFolder tmp;
  std::u16string shared = tmp.WSub("Vendra Software");
  ASSERT_TRUE(CreateSharedFolder(shared));
  EXPECT_FALSE(CreateSharedFolder(shared)) << "an existing folder is left alone";
  EXPECT_TRUE(FolderExists(shared));
  if (RunningUnderWine()) GTEST_SKIP() << "Wine keeps no access lists on files and folders";

  for (char16_t& c : shared)
    if (c == u'/') c = u'\\';
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(::GetNamedSecurityInfoW(W(shared), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing looser is inherited from the parent";

  bool everyoneAdds = false, creatorOwnerFull = false, adminsFull = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    PSID sid = &ace->SidStart;
    const BYTE flags = ace->Header.AceFlags;
    if (SameSid(sid, WinWorldSid)) {
      // Everyone: no right that changes or removes an existing file or folder.
      EXPECT_EQ(ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD |
                             WRITE_DAC | WRITE_OWNER | GENERIC_ALL | GENERIC_WRITE),
                ace->Mask & (FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY))
          << "mask " << std::hex << ace->Mask;
      if (ace->Mask & (FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY)) {
        EXPECT_EQ(flags & OBJECT_INHERIT_ACE, 0) << "adding files is not a right on files";
        everyoneAdds = true;
      }
    } else if (SameSid(sid, WinCreatorOwnerSid)) {
      creatorOwnerFull = (flags & INHERIT_ONLY_ACE) && (flags & OBJECT_INHERIT_ACE) &&
                         (ace->Mask & (GENERIC_ALL | FILE_ALL_ACCESS));
    } else if (SameSid(sid, WinBuiltinAdministratorsSid)) {
      adminsFull = (ace->Mask & (GENERIC_ALL | FILE_ALL_ACCESS)) && (flags & OBJECT_INHERIT_ACE);
    }
  }
  ::LocalFree(descriptor);
  EXPECT_TRUE(everyoneAdds);
  EXPECT_TRUE(creatorOwnerFull);
  EXPECT_TRUE(adminsFull);
}

TEST(MoveFileReplacing, CrossesVolumes) {
  // Under Wine, Z:\dev\shm is a memory file system and the temporary folder
  // lies on the prefix's disk: a move between them is a copy.
  if (!RunningUnderWine() || !std::filesystem::is_directory("Z:\\dev\\shm"))
    GTEST_SKIP() << "needs a second volume";
  VendraTest::TempFolder tmp;
  const std::string source = "Z:/dev/shm/vendra-move-" + std::to_string(CurrentProcessId());
  WriteTextFile(source, "across");
  EXPECT_EQ(MoveFileReplacing(VendraText::Utf8ToUtf16(source), tmp.WSub("target")), 0u);
  EXPECT_EQ(ReadTextFile(tmp.Sub("target")), "across");
  EXPECT_FALSE(std::filesystem::exists(Native(source)));
}

TEST(ListFolder, ReportsSizesBeyondFourGigabytes) {
  VendraTest::TempFolder tmp;
  HANDLE file = ::CreateFileW(W(tmp.WSub("sparse")), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD returned = 0;
  // Sparse where the file system allows it, so no disk space is taken.
  ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = 5'000'000'000LL;
  ASSERT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(::SetEndOfFile(file));
  ::CloseHandle(file);
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
  uint64_t size = 0;
  EXPECT_EQ(GetFileSize(tmp.WSub("sparse"), size), 0u);
  EXPECT_EQ(size, 5'000'000'000ULL);
  // Windows answers "path not found" for a missing folder's listing.
  EXPECT_EQ(ListFolder(tmp.WSub("none"), entries), SysError::kPathNotFound);
}

namespace {
size_t EntriesIn(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(Native(folder))) ++count;
  return count;
}
}  // namespace

// A new file goes in place whole or not at all; a read-only target and a
// device where a file is expected are refused.
TEST(NewFile, PlacesWholeFilesAndLeavesNothingWhenGivenUp) {
  VendraTest::TempFolder tmp;
  WriteTextFile(tmp.Sub("Tandory.cfg"), "old");
  {
    NewFile abandoned;
    ASSERT_EQ(abandoned.Create(tmp.wpath(), tmp.WSub("Tandory.cfg")), 0u);
    ASSERT_EQ(abandoned.Output().Write("half", 4), 0u);
  }
  EXPECT_EQ(ReadTextFile(tmp.Sub("Tandory.cfg")), "old");
  EXPECT_EQ(EntriesIn(tmp.path()), 1u);

  NewFile file;
  ASSERT_EQ(file.Create(tmp.wpath(), tmp.WSub("sub/deeper/Tandory.cfg")), 0u);
  ASSERT_EQ(file.Output().Write("new", 3), 0u);
  ASSERT_EQ(file.Place(), 0u);
  EXPECT_EQ(ReadTextFile(tmp.Sub("sub/deeper/Tandory.cfg")), "new");
  EXPECT_EQ(EntriesIn(tmp.Sub("sub/deeper")), 1u);

  ASSERT_TRUE(::SetFileAttributesW(W(tmp.WSub("Tandory.cfg")), FILE_ATTRIBUTE_READONLY));
  NewFile refused;
  EXPECT_EQ(refused.Create(tmp.wpath(), tmp.WSub("Tandory.cfg")), SysError::kAccessDenied);
  ::SetFileAttributesW(W(tmp.WSub("Tandory.cfg")), FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(CreateFolderInside(tmp.wpath(), tmp.WSub("a\\..\\..\\escape")), kOutsideFolder);
  EXPECT_EQ(CreateFolderInside(tmp.WSub("sub"), tmp.WSub("other")), kOutsideFolder);

  File device;
  EXPECT_EQ(device.OpenForReading(u"NUL"), SysError::kAccessDenied);
  EXPECT_EQ(device.CreateForWriting(u"NUL"), SysError::kAccessDenied);
}

// A missing folder is made with the program's own access list, and a folder
// of the program's own is kept as it is on the next call. The access list
// itself, and folders owned by other users, cannot be shown under Wine: it
// keeps no access lists and runs everything as one user.
TEST(TrustedFolder, IsMadeProtectedAndKept) {
  VendraTest::TempFolder tmp;
  std::u16string utils = tmp.WSub("utils");
  for (char16_t& c : utils)
    if (c == u'/') c = u'\\';
  std::u16string problem;
  ASSERT_EQ(EnsureTrustedFolder(utils, problem), 0u) << VendraText::Utf16ToUtf8(problem);
  EXPECT_TRUE(FolderExists(utils));
  WriteTextFile(tmp.Sub("utils/VendraBuild.exe"), "program");
  ASSERT_EQ(EnsureTrustedFolder(utils, problem), 0u) << VendraText::Utf16ToUtf8(problem);
  EXPECT_EQ(EntriesIn(tmp.path()), 1u) << "the program's own folder is not moved aside";
  EXPECT_EQ(ReadTextFile(tmp.Sub("utils/VendraBuild.exe")), "program");

  // A file where the folder should be is moved aside.
  std::filesystem::remove_all(Native(tmp.Sub("utils")));
  WriteTextFile(tmp.Sub("utils"), "not a folder");
  ASSERT_EQ(EnsureTrustedFolder(utils, problem), 0u) << VendraText::Utf16ToUtf8(problem);
  EXPECT_TRUE(FolderExists(utils));
  EXPECT_EQ(EntriesIn(tmp.path()), 2u);

  if (RunningUnderWine()) GTEST_SKIP() << "Wine keeps no access lists on files and folders";
  std::filesystem::remove_all(Native(tmp.Sub("utils")));
  ASSERT_EQ(EnsureTrustedFolder(utils, problem), 0u);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(::GetNamedSecurityInfoW(W(utils), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                    nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing is inherited from the shared folder";
  // An elevated program's folder is the Administrators' alone, so that every
  // account judges it alike.
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD adminsSize = sizeof admins;
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize));
  BOOL elevated = FALSE;
  ASSERT_TRUE(::CheckTokenMembership(nullptr, admins, &elevated));
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD got = 0;
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof user, &got));
  ::CloseHandle(token);
  const PSID self = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
  if (elevated) {
    EXPECT_TRUE(SameSid(owner, WinBuiltinAdministratorsSid));
  }
  bool usersRead = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    PSID sid = &ace->SidStart;
    if (SameSid(sid, WinWorldSid)) ADD_FAILURE() << "Everyone has no place in the list";
    if (elevated && ::EqualSid(sid, self)) {
      ADD_FAILURE() << "no entry for the installing account";
    }
    if (SameSid(sid, WinBuiltinUsersSid)) {
      usersRead = true;
      EXPECT_EQ(ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD |
                             WRITE_DAC | WRITE_OWNER | GENERIC_ALL | GENERIC_WRITE),
                0u);
    }
  }
  ::LocalFree(descriptor);
  EXPECT_TRUE(usersRead);
}

TEST(KnownFolders, MachineDataFolderIsTheSystemsOrTheRelocatedOne) {
  VendraWin32Test::SetEnvironment(u"VENDRA_MACHINE_ROOT", u"");
  EXPECT_FALSE(MachineRootRelocated());
  wchar_t system[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, system)));
  EXPECT_EQ(CommonAppDataFolder(), std::u16string(reinterpret_cast<const char16_t*>(system)));

  VendraTest::TempFolder tmp;
  VendraWin32Test::SetEnvironment(u"VENDRA_MACHINE_ROOT", tmp.wpath());
  EXPECT_TRUE(MachineRootRelocated());
  EXPECT_EQ(CommonAppDataFolder(), PathAppend(tmp.wpath(), u"ProgramData"));
  EXPECT_TRUE(FolderExists(CommonAppDataFolder()));
  VendraWin32Test::SetEnvironment(u"VENDRA_MACHINE_ROOT", u"");
}

TEST(Process, KnowsItsOwnFileAndTheTime) {
  const std::u16string self = ModuleFileName();
  ASSERT_GT(self.size(), 4u);
  EXPECT_TRUE(FileExists(self));
  EXPECT_EQ(self.substr(self.size() - 4), u".exe");
  EXPECT_EQ(self.find(u'/'), std::u16string::npos) << "the system's own spelling, with backslashes";
  // 2020-01-01 as a floor for the clock conversion from 1601-based ticks.
  EXPECT_GT(NowUnixSeconds(), 1577836800);
  EXPECT_LT(NowUnixSeconds(), 4102444800);
}
