// Win32 layer only.
#include "platform/files.h"


#include <climits>
#include <string>

#include "platform/paths.h"
#include "platform/sys_error.h"
#include "platform/win32/folder_security.h"
#include "platform/win32/ownership.h"
#include "platform/win32/unique_name.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {

const char16_t kPathSeparator = u'\\';

bool SameFileName(std::u16string_view a, std::u16string_view b) {
  // Ordinal and case-blind, as NTFS compares names (its upper-case table,
  // not the user's locale).
  if (a.size() > INT_MAX || b.size() > INT_MAX) return false;
  return ::CompareStringOrdinal(reinterpret_cast<LPCWCH>(a.data()), static_cast<int>(a.size()),
                                reinterpret_cast<LPCWCH>(b.data()), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

using Win32::FromWide;
using Win32::Wide;
using Win32::WidePath;
using Win32::UniqueSuffix;

namespace {

constexpr int kReplaceAttempts = 50;
constexpr DWORD kReplaceRetryMs = 10;

// The shell's folder creation takes only full paths.
std::wstring FullPath(std::u16string_view path) {
  const std::wstring wide = WidePath(path);
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return wide;
  full.resize(written);
  return full;
}

bool IsFolderW(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// SID-based access list of the shared folder; see CreateSharedFolder.
struct SharedFolderAcl {
  BYTE world[SECURITY_MAX_SID_SIZE];
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE admins[SECURITY_MAX_SID_SIZE];
  BYTE creatorOwner[SECURITY_MAX_SID_SIZE];
  alignas(DWORD) BYTE acl[1024];

  bool Build() {
    DWORD size = sizeof world;
    if (!::CreateWellKnownSid(WinWorldSid, nullptr, world, &size)) return false;
    size = sizeof system;
    if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size)) return false;
    size = sizeof admins;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size)) return false;
    size = sizeof creatorOwner;
    if (!::CreateWellKnownSid(WinCreatorOwnerSid, nullptr, creatorOwner, &size)) return false;
    PACL list = reinterpret_cast<PACL>(acl);
    if (!::InitializeAcl(list, sizeof acl, ACL_REVISION)) return false;
    constexpr DWORD kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    constexpr DWORD kFullControl = GENERIC_ALL | STANDARD_RIGHTS_ALL;
    return ::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, system) &&
           ::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, admins) &&
           ::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit | INHERIT_ONLY_ACE,
                                   kFullControl, creatorOwner) &&
           ::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit,
                                   FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, world) &&
           ::AddAccessAllowedAceEx(list, ACL_REVISION, 0, FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY,
                                   world);
  }
};

}  // namespace

uint32_t CreateFolderTree(std::u16string_view folder) {
  if (folder.empty()) return SysError::kPathNotFound;
  std::wstring path = FullPath(folder);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  const int answer = ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  const uint32_t err = static_cast<uint32_t>(answer);
  // The shell also answers "exists" when a file holds the name; callers that
  // go on to use the folder must not be told it is there.
  if ((err == SysError::kAlreadyExists || err == SysError::kFileExists) && !IsFolderW(path))
    return SysError::kPathNotFound;
  return err;
}

bool CreateSharedFolder(std::u16string_view folder) {
  // Every user's copy of the vendor's programs keeps its session here, so
  // every user may add files and folders, and has full control of what they
  // added (through CREATOR OWNER). Nobody but the system and administrators
  // may change or replace what someone else put there, because the elevated
  // installer runs a program from this folder: a folder where anyone may
  // replace any file would let any user run code as administrator. The list
  // is protected, so nothing looser is inherited from the parent.
  // An elevated program gives it to the Administrators, whatever the
  // system's choice of owner for what an administrator makes: an owner may
  // rewrite the list, and the folder rule trusts only these owners.
  SharedFolderAcl acl;
  Win32::FolderAccounts accounts;
  if (!acl.Build() || !accounts.Build()) return false;
  SECURITY_DESCRIPTOR descriptor;
  if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl.acl), FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) ||
      (accounts.elevated() && !::SetSecurityDescriptorOwner(&descriptor, accounts.admins(), FALSE)))
    return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  return ::CreateDirectoryW(WidePath(folder).c_str(), &attributes) != 0;
}

uint32_t MoveFileReplacing(std::u16string_view from, std::u16string_view to) {
  constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
  if (::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), kFlags)) return SysError::kSuccess;
  return ::GetLastError();
}

uint32_t DeleteFile(std::u16string_view path) {
  return ::DeleteFileW(WidePath(path).c_str()) ? SysError::kSuccess : ::GetLastError();
}

uint32_t RemoveEmptyFolder(std::u16string_view path) {
  return ::RemoveDirectoryW(WidePath(path).c_str()) ? SysError::kSuccess : ::GetLastError();
}

bool FileExists(std::u16string_view path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(std::u16string_view path) { return IsFolderW(WidePath(path)); }

uint32_t GetFileSize(std::u16string_view path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data))
    return ::GetLastError();
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return SysError::kSuccess;
}

uint32_t GetFileStamp(std::u16string_view path, FileStamp& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data))
    return ::GetLastError();
  stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.modified = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime)
                                         << 32) |
                                        data.ftLastWriteTime.dwLowDateTime);
  return SysError::kSuccess;
}

uint32_t GetFreeDiskSpace(std::u16string_view path, uint64_t& bytes) {
  ULARGE_INTEGER available;
  if (!::GetDiskFreeSpaceExW(WidePath(path).c_str(), &available, nullptr, nullptr))
    return ::GetLastError();
  bytes = available.QuadPart;
  return SysError::kSuccess;
}

uint32_t GetDiskId(std::u16string_view path, uint64_t& id) {
  // No access asked for: the volume's serial number needs none, and a
  // folder opens only with backup semantics.
  HANDLE handle = ::CreateFileW(WidePath(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  const DWORD err = known ? 0 : ::GetLastError();
  ::CloseHandle(handle);
  if (!known) return err;
  id = info.dwVolumeSerialNumber;
  return SysError::kSuccess;
}

uint32_t ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries) {
  const std::wstring pattern = WidePath(JoinFileName(folder, u"*"));
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    // An existing folder always holds "." unless it is a drive's root; an
    // empty match there is an empty folder, not an error.
    return err == ERROR_FILE_NOT_FOUND && FolderExists(folder) ? SysError::kSuccess : err;
  }
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry entry;
    entry.name = FromWide(name);
    entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = entry.isFolder ? 0
                                : (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(search, &found));
  const DWORD err = ::GetLastError();
  ::FindClose(search);
  return err == ERROR_NO_MORE_FILES ? SysError::kSuccess : err;
}

std::u16string TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return u".";
  std::u16string folder = FromWide(std::wstring_view(buffer, length));
  while (folder.size() > 3 && IsPathSeparator(folder.back())) folder.pop_back();
  return folder;
}

std::u16string AbsolutePath(std::u16string_view path) {
  return FromWide(FullPath(path));
}

uint32_t CreateTempFile(std::u16string_view folder, std::u16string_view prefix,
                        std::u16string& path) {
  // The name is joined to the folder as it is, so an empty prefix still
  // leaves the file inside the folder.
  const std::u16string base = JoinFileName(folder, prefix);
  for (uint32_t attempt = 0; attempt < 100; ++attempt) {
    std::u16string candidate = base + UniqueSuffix(attempt);
    HANDLE file = ::CreateFileW(WidePath(candidate).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
      path = std::move(candidate);
      return SysError::kSuccess;
    }
    const DWORD err = ::GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) return err;
  }
  return SysError::kFileExists;
}

namespace {

enum class Privacy { Shared, Private };

uint32_t ReplaceFileWhole(std::u16string_view path, std::string_view bytes, Privacy privacy) {
  std::u16string_view folder = FolderOf(path);
  if (folder.empty()) folder = u".";
  if (!FolderExists(folder)) return SysError::kPathNotFound;
  // The new file is made in the target's folder, so the final rename stays on
  // one volume and replaces the target in one step.
  const size_t cut = path.find_last_of(u"\\/");
  const std::u16string name(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
  std::u16string temp;
  if (const uint32_t err = CreateTempFile(folder, name + u".", temp)) return err;
  // The folder lets every user read what is in it; a secret is closed to
  // them before it is written.
  uint32_t err = privacy == Privacy::Private ? Win32::MakePrivate(WidePath(temp)) : 0;
  File file;
  if (!err) err = file.CreateForWriting(temp);
  if (!err) err = file.Write(bytes.data(), bytes.size());
  if (!err) err = file.Flush();
  const uint32_t closed = file.Close();
  if (!err) err = closed;
  // Another process reading the target at this moment (the vendor's other
  // programs, a virus scanner) can refuse the replacement for a short while:
  // try again briefly before giving up.
  for (int attempt = 0; !err; ++attempt) {
    if (::MoveFileExW(WidePath(temp).c_str(), WidePath(path).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      break;
    const DWORD moveError = ::GetLastError();
    const bool transient = moveError == ERROR_ACCESS_DENIED || moveError == ERROR_SHARING_VIOLATION;
    if (!transient || attempt >= kReplaceAttempts) err = moveError;
    else ::Sleep(kReplaceRetryMs);
  }
  if (err) ::DeleteFileW(WidePath(temp).c_str());
  return err;
}

}  // namespace

uint32_t WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  return ReplaceFileWhole(path, bytes, Privacy::Shared);
}

uint32_t WritePrivateFileAtomically(std::u16string_view path, std::string_view bytes) {
  return ReplaceFileWhole(path, bytes, Privacy::Private);
}

}  // namespace VendraPlatform
