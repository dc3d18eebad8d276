// Win32 layer only.
#include "platform/new_file.h"

#include <string>

#include "platform/paths.h"
#include "platform/sys_error.h"
#include "platform/win32/unique_name.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

using Win32::FromWide;
using Win32::WidePath;

std::wstring Tidy(std::wstring path) {
  std::wstring out;
  for (const wchar_t c : path) {
    if (c == L'\\' && out.size() > 1 && out.back() == L'\\') continue;
    out += c;
  }
  while (out.size() > 3 && out.back() == L'\\') out.pop_back();
  return out;
}

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Paths compare as the file system compares them: without regard to case.
bool IsInside(const std::wstring& path, const std::wstring& root) {
  if (path.size() < root.size()) return false;
  for (size_t i = 0; i < root.size(); ++i)
    if (Lower(path[i]) != Lower(root[i])) return false;
  return path.size() == root.size() || root.back() == L'\\' || path[root.size()] == L'\\';
}

// Where a folder really is, links and junctions resolved; empty when it
// cannot be opened.
std::wstring FinalPath(const std::wstring& path) {
  HANDLE folder = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return {};
  wchar_t buffer[4096];
  const DWORD length = ::GetFinalPathNameByHandleW(folder, buffer, 4096, FILE_NAME_NORMALIZED);
  ::CloseHandle(folder);
  if (length == 0 || length >= 4096) return {};
  return std::wstring(buffer, length);
}

}  // namespace

namespace {

// Walks down from within to folder one level at a time, making missing
// levels when asked. A level that is a link or junction must resolve inside
// within.
uint32_t WalkFolderInside(std::u16string_view withinPath, std::u16string_view folderPath,
                          bool create) {
  const std::wstring within = Tidy(WidePath(withinPath));
  const std::wstring folder = Tidy(WidePath(folderPath));
  if (!IsInside(folder, within)) return kOutsideFolder;
  std::wstring withinFinal;
  size_t pos = folder.size() > within.size() ? within.size() + 1 : folder.size();
  std::wstring reached = within;
  while (pos < folder.size()) {
    const size_t end = folder.find(L'\\', pos);
    const std::wstring part = folder.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
    pos = end == std::wstring::npos ? folder.size() : end + 1;
    if (part == L"." || part == L"..") return kOutsideFolder;
    reached += L'\\' + part;
    if (create && !::CreateDirectoryW(reached.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS)
      return ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(reached.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      return SysError::kPathNotFound;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      if (withinFinal.empty()) withinFinal = FinalPath(within);
      const std::wstring resolved = FinalPath(reached);
      if (withinFinal.empty() || resolved.empty() || !IsInside(resolved, withinFinal))
        return kOutsideFolder;
    }
  }
  return SysError::kSuccess;
}

}  // namespace

uint32_t CreateFolderInside(std::u16string_view within, std::u16string_view folder) {
  return WalkFolderInside(within, folder, true);
}

uint32_t DeleteFileInside(std::u16string_view within, std::u16string_view path) {
  const std::u16string_view folder = FolderOf(path);
  if (folder.empty() || folder.size() + 1 >= path.size()) return SysError::kInvalidName;
  if (const uint32_t err = WalkFolderInside(within, folder, false)) return err;
  // DeleteFileW removes a link itself, not what it points at.
  return ::DeleteFileW(WidePath(path).c_str()) ? SysError::kSuccess : ::GetLastError();
}

uint32_t MoveAsideInside(std::u16string_view within, std::u16string_view path,
                         std::u16string& aside) {
  const std::u16string_view folder = FolderOf(path);
  if (folder.empty() || folder.size() + 1 >= path.size()) return SysError::kInvalidName;
  if (const uint32_t err = WalkFolderInside(within, folder, false)) return err;
  for (int number = 1; number <= kMostAsideNames; ++number) {
    std::u16string spare = std::u16string(path) + kAsideInfix + FromWide(std::to_wstring(number));
    // Without MOVEFILE_REPLACE_EXISTING the move never replaces a file; a
    // link at path is moved itself.
    if (::MoveFileExW(WidePath(path).c_str(), WidePath(spare).c_str(), MOVEFILE_WRITE_THROUGH)) {
      aside = std::move(spare);
      return SysError::kSuccess;
    }
    const DWORD err = ::GetLastError();
    if (err != ERROR_ALREADY_EXISTS && err != ERROR_FILE_EXISTS) return err;
  }
  return SysError::kAlreadyExists;
}

NewFile::~NewFile() { Discard(); }

uint32_t NewFile::Create(std::u16string_view within, std::u16string_view target) {
  Discard();
  const std::u16string_view folder = FolderOf(target);
  if (folder.empty() || folder.size() + 1 >= target.size()) return SysError::kInvalidName;
  if (const uint32_t err = CreateFolderInside(within.empty() ? folder : within, folder)) return err;
  // A read-only target stays as it is, as when it is opened for writing in
  // place; the replacing move would fail on it anyway.
  const DWORD attributes = ::GetFileAttributesW(WidePath(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return SysError::kAccessDenied;
  for (uint32_t attempt = 0; attempt < 16; ++attempt) {
    std::u16string temp = std::u16string(target) + u".new-" + Win32::UniqueSuffix(attempt);
    // A new file only: never one that is there, nor the target of a link.
    HANDLE file = ::CreateFileW(WidePath(temp).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (::GetLastError() == ERROR_FILE_EXISTS) continue;
      return ::GetLastError();
    }
    output_.handle_ = reinterpret_cast<intptr_t>(file);
    tempPath_ = std::move(temp);
    target_ = std::u16string(target);
    folder_ = 1;
    return SysError::kSuccess;
  }
  return SysError::kAlreadyExists;
}

uint32_t NewFile::Finish(bool) {
  if (folder_ < 0 || !output_.IsOpen()) return SysError::kInvalidParameter;
  uint32_t err = output_.Flush();
  if (const uint32_t closed = output_.Close(); err == 0) err = closed;
  // A file that may not be whole on the disk is never renamed into place.
  if (err != 0) Discard();
  return err;
}

uint32_t NewFile::Place(bool executable) {
  if (folder_ < 0 || tempPath_.empty()) return SysError::kInvalidParameter;
  if (output_.IsOpen()) {
    if (const uint32_t err = Finish(executable)) return err;
  }
  // The move replaces a link at the target rather than writing through it.
  if (!::MoveFileExW(WidePath(tempPath_).c_str(), WidePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return ::GetLastError();
  folder_ = -1;
  tempPath_.clear();
  return SysError::kSuccess;
}

void NewFile::Discard() {
  output_.Close();
  if (folder_ < 0) return;
  if (!tempPath_.empty()) ::DeleteFileW(WidePath(tempPath_).c_str());
  folder_ = -1;
  tempPath_.clear();
}

}  // namespace VendraPlatform
