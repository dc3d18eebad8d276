// Win32 layer only.
#include <utility>

#include "platform/files.h"
#include "platform/sys_error.h"
#include "platform/win32/ownership.h"
#include "platform/win32/windows_api.h"

#include <aclapi.h>

namespace VendraPlatform {

namespace {
HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
constexpr DWORD kMaxChunk = 1u << 30;

// Only a file on disk is kept: a pipe or a device where a file is expected
// is refused.
uint32_t Adopt(HANDLE file, intptr_t& handle) {
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return SysError::kAccessDenied;
  }
  handle = reinterpret_cast<intptr_t>(file);
  return SysError::kSuccess;
}
}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

uint32_t File::OpenForReading(std::u16string_view path) {
  Close();
  // Readers let others read, write and rename the file meanwhile, as the C
  // library's "rb" does.
  HANDLE file = ::CreateFileW(Win32::WidePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
  return Adopt(file, handle_);
}

namespace {

// Opens the file itself, never what a link points to, with read-control
// access so that its owner may be asked; anything but a plain file on disk
// answers 1920 and reparse is told whether a link was in its place.
uint32_t OpenPlain(std::u16string_view path, HANDLE& file, bool& reparse) {
  reparse = false;
  file = ::CreateFileW(Win32::WidePath(path).c_str(), GENERIC_READ | READ_CONTROL,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = ::GetFileInformationByHandle(file, &info) != FALSE;
  reparse = known && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!known || ::GetFileType(file) != FILE_TYPE_DISK ||
      (info.dwFileAttributes &
       (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
    ::CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    return SysError::kNotAPlainFile;
  }
  return SysError::kSuccess;
}

}  // namespace

uint32_t File::OpenOwnForReading(std::u16string_view path) {
  Close();
  HANDLE file = INVALID_HANDLE_VALUE;
  bool reparse = false;
  const uint32_t opened = OpenPlain(path, file, reparse);
  // A folder opened as a file is refused by the system itself.
  if (opened == ERROR_ACCESS_DENIED && FolderExists(path)) return SysError::kNotAPlainFile;
  if (opened != SysError::kSuccess) return opened;
  handle_ = reinterpret_cast<intptr_t>(file);
  return SysError::kSuccess;
}

uint32_t File::OpenPrivateForReading(std::u16string_view path) {
  Close();
  HANDLE file = INVALID_HANDLE_VALUE;
  bool reparse = false;
  const uint32_t opened = OpenPlain(path, file, reparse);
  // A link in the place of a secret was put there by someone else, and the
  // next save replaces it; a folder or a device stays in the way.
  if (opened == SysError::kNotAPlainFile) return reparse ? SysError::kFileNotFound : opened;
  if (opened == ERROR_ACCESS_DENIED && FolderExists(path)) return SysError::kNotAPlainFile;
  if (opened != SysError::kSuccess) return opened;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const bool trusted = ::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                         nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
                       Win32::TrustedOwner(owner);
  if (descriptor) ::LocalFree(descriptor);
  if (!trusted) {
    ::CloseHandle(file);
    return SysError::kFileNotFound;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return SysError::kSuccess;
}

uint32_t File::CreateForWriting(std::u16string_view path) {
  Close();
  HANDLE file = ::CreateFileW(Win32::WidePath(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
  return Adopt(file, handle_);
}

uint32_t File::OpenForAppending(std::u16string_view path) {
  Close();
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end.
  // A reparse point is opened as itself, never followed.
  HANDLE file = ::CreateFileW(Win32::WidePath(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
  handle_ = reinterpret_cast<intptr_t>(file);
  return SysError::kSuccess;
}

bool File::IsOpen() const { return handle_ != -1; }

uint32_t File::Read(void* data, size_t size, size_t& read) {
  read = 0;
  if (handle_ == -1) return SysError::kInvalidParameter;
  DWORD got = 0;
  const DWORD want = size > kMaxChunk ? kMaxChunk : static_cast<DWORD>(size);
  if (!::ReadFile(AsHandle(handle_), data, want, &got, nullptr)) return ::GetLastError();
  read = got;
  return SysError::kSuccess;
}

uint32_t File::Write(const void* data, size_t size) {
  if (handle_ == -1) return SysError::kInvalidParameter;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD put = 0;
    const DWORD want = size > kMaxChunk ? kMaxChunk : static_cast<DWORD>(size);
    if (!::WriteFile(AsHandle(handle_), bytes, want, &put, nullptr)) return ::GetLastError();
    if (put == 0) return SysError::kDiskFull;
    bytes += put;
    size -= put;
  }
  return SysError::kSuccess;
}

uint32_t File::Size(uint64_t& size) const {
  LARGE_INTEGER value;
  if (handle_ == -1 || !::GetFileSizeEx(AsHandle(handle_), &value)) return SysError::kInvalidParameter;
  size = static_cast<uint64_t>(value.QuadPart);
  return SysError::kSuccess;
}

uint32_t File::Seek(uint64_t offset) {
  if (handle_ == -1) return SysError::kInvalidParameter;
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_BEGIN) ? SysError::kSuccess
                                                                               : ::GetLastError();
}

uint32_t File::Flush() {
  if (handle_ == -1) return SysError::kInvalidParameter;
  return ::FlushFileBuffers(AsHandle(handle_)) ? SysError::kSuccess : ::GetLastError();
}

uint32_t File::Close() {
  if (handle_ == -1) return SysError::kSuccess;
  HANDLE file = AsHandle(std::exchange(handle_, -1));
  return ::CloseHandle(file) ? SysError::kSuccess : ::GetLastError();
}

}  // namespace VendraPlatform
