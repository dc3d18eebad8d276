#include "json/files.h"

#include <memory>
#include <new>

#include "json/object.h"
#include "json/parser.h"
#include "json/writer.h"
#include "platform/files.h"
#include "platform/sys_error.h"

namespace VendraJSON {
namespace {

namespace SysError = VendraPlatform::SysError;

// SaveFile reports C library error numbers, as its callers expect.
int CErrorNumber(uint32_t sysError) {
  switch (sysError) {
    case SysError::kSuccess: return 0;
    case SysError::kFileNotFound:
    case SysError::kPathNotFound:
    case SysError::kInvalidName:
    case SysError::kFilenameTooLong: return 2;     // ENOENT
    case SysError::kAccessDenied:
    case SysError::kSharingViolation: return 13;   // EACCES
    case SysError::kNotEnoughMemory: return 12;    // ENOMEM
    case SysError::kFileExists:
    case SysError::kAlreadyExists: return 17;      // EEXIST
    case SysError::kDiskFull: return 28;           // ENOSPC
    case SysError::kWriteFault:
    case SysError::kReadFault: return 5;           // EIO
    default: return 22;                            // EINVAL
  }
}

}  // namespace

bool VSJObject::SaveFile(int& errorCode, std::u16string_view path) const {
  std::string text;
  AppendJSON(text, *this, true, 0, "\n");
  // The new text goes to a file beside the target and replaces it in one
  // step, so a crash or a full disk never leaves a cut-off file behind.
  const uint32_t error = VendraPlatform::WriteFileAtomically(path, text);
  errorCode = CErrorNumber(error);
  return error == SysError::kSuccess;
}

namespace {

constexpr char16_t kNotFound[] = u"JSON: Could not open file for reading (file not found)";

bool LoadOpenFile(VendraPlatform::File& file, VSJValue** out, std::u16string& error) {
  uint64_t size = 0;
  if (file.Size(size) != SysError::kSuccess) {
    error = u"JSON: Could not open existing file for reading";
    return false;
  }
  if (size == 0) {
    error = u"JSON: Unexpected end of file";
    return false;
  }
  std::unique_ptr<char[]> buffer;
  if (size < SIZE_MAX) buffer.reset(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
  if (!buffer) {
    error = u"JSON: Failed to allocate read buffer";
    return false;
  }
  // A file that shrank meanwhile is taken as far as it goes.
  size_t length = 0;
  while (length < size) {
    size_t got = 0;
    if (file.Read(buffer.get() + length, static_cast<size_t>(size) - length, got) !=
        SysError::kSuccess) {
      error = u"JSON: Could not read file";
      return false;
    }
    if (got == 0) break;
    length += got;
  }
  file.Close();
  buffer[length] = '\0';
  return ParseValueA(buffer.get(), length, out, error);
}

}  // namespace

bool LoadFile(std::u16string_view path, VSJValue** out, std::u16string& error) {
  VendraPlatform::File file;
  if (file.OpenForReading(path) != SysError::kSuccess) {
    const bool exists = VendraPlatform::FileExists(path) || VendraPlatform::FolderExists(path);
    error = exists ? u"JSON: Could not open existing file for reading" : kNotFound;
    return false;
  }
  return LoadOpenFile(file, out, error);
}

namespace {

bool LoadRead(uint32_t read, const std::string& bytes, std::u16string& problem, VSJValue** out,
              std::u16string& error, uint32_t* readError) {
  if (readError) *readError = read;
  if (read != SysError::kSuccess) {
    error = problem;
    return false;
  }
  return ParseValueA(bytes.c_str(), bytes.size(), out, error);
}

}  // namespace

bool LoadSmallFile(std::u16string_view path, size_t limit, VSJValue** out, std::u16string& error,
                   uint32_t* readError) {
  std::string bytes;
  std::u16string problem;
  const uint32_t read = VendraPlatform::ReadSmallFile(path, limit, bytes, problem);
  return LoadRead(read, bytes, problem, out, error, readError);
}

bool LoadPrivateFile(std::u16string_view path, size_t limit, VSJValue** out,
                     std::u16string& error, uint32_t* readError) {
  std::string bytes;
  std::u16string problem;
  const uint32_t read = VendraPlatform::ReadPrivateSmallFile(path, limit, bytes, problem);
  return LoadRead(read, bytes, problem, out, error, readError);
}

}  // namespace VendraJSON
