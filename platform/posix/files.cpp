// POSIX layer only.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/paths.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/ownership.h"
#include "platform/posix/posix_text.h"
#include "platform/posix/write_all.h"
#include "platform/sys_error.h"

namespace VendraPlatform {

const char16_t kPathSeparator = u'/';

bool SameFileName(std::u16string_view a, std::u16string_view b) { return a == b; }

using Posix::Native;
using Posix::NativePath;
using Posix::SysErrorFromErrno;

namespace {

// Folders of ours are written only by their owner; see CreateSharedFolder for
// the one folder every user may add files to.
constexpr mode_t kFolderMode = 0755;

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int SyncFolderOf(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  const std::string folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : path.substr(0, cut));
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int rc = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return rc;
}

int CopyFileContents(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st;
  if (::fstat(in, &st) != 0) {
    const int err = errno;
    ::close(in);
    return err;
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    const int err = errno;
    ::close(in);
    return err;
  }
  int err = 0;
  char buffer[1 << 16];
  while (true) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    if (got == 0) break;
    err = Posix::WriteAll(out, std::string_view(buffer, static_cast<size_t>(got)));
    if (err) break;
  }
  ::close(in);
  if (err) {
    ::close(out);
  } else {
    err = Posix::WriteSyncClose(out, {});
  }
  if (err) ::unlink(to.c_str());
  return err;
}

}  // namespace

uint32_t CreateFolderTree(std::u16string_view folder) {
  std::string path = NativePath(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return SysError::kPathNotFound;
  if (IsFolder(path)) return SysError::kAlreadyExists;
  // Walk down from the first missing parent, creating each level.
  for (size_t pos = path.find('/', 1); ; pos = path.find('/', pos + 1)) {
    const std::string part = pos == std::string::npos ? path : path.substr(0, pos);
    if (::mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) {
      const int err = errno;
      return err == ENOENT ? SysError::kPathNotFound : SysErrorFromErrno(err);
    }
    if (!IsFolder(part)) return SysError::kPathNotFound;
    if (pos == std::string::npos) break;
  }
  return SysError::kSuccess;
}

bool CreateSharedFolder(std::u16string_view folder) {
  // Every user's copy of the vendor's programs keeps its session here, so the
  // folder is open for everyone to add files, as with an access list granting
  // Everyone full control. The sticky bit keeps that from becoming a hole in
  // a folder an elevated installer runs programs from: a user may create
  // files, but only the owner of a file (or of the folder) may rename, replace
  // or delete it, and files and sub-folders are created writable by their
  // owner only (0644 / 0755).
  const std::string path = NativePath(folder);
  if (::mkdir(path.c_str(), 01777) != 0) return false;
  // mkdir honours the umask; the mode must be exact.
  ::chmod(path.c_str(), 01777);
  return true;
}

uint32_t MoveFileReplacing(std::u16string_view from, std::u16string_view to) {
  const std::string src = NativePath(from);
  const std::string dst = NativePath(to);
  if (::rename(src.c_str(), dst.c_str()) == 0) {
    SyncFolderOf(dst);
    return SysError::kSuccess;
  }
  if (errno != EXDEV) return SysErrorFromErrno(errno);
  // Another file system: copy beside the target, then rename over it, so the
  // target is never seen half-written.
  const std::string temp = dst + ".moving-" + std::to_string(::getpid());
  if (const int err = CopyFileContents(src, temp)) return SysErrorFromErrno(err);
  if (::rename(temp.c_str(), dst.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return SysErrorFromErrno(err);
  }
  SyncFolderOf(dst);
  ::unlink(src.c_str());
  return SysError::kSuccess;
}

uint32_t DeleteFile(std::u16string_view path) {
  return ::unlink(NativePath(path).c_str()) == 0 ? SysError::kSuccess : SysErrorFromErrno(errno);
}

uint32_t RemoveEmptyFolder(std::u16string_view path) {
  return ::rmdir(NativePath(path).c_str()) == 0 ? SysError::kSuccess : SysErrorFromErrno(errno);
}

bool FileExists(std::u16string_view path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(std::u16string_view path) { return IsFolder(NativePath(path)); }

uint32_t GetFileSize(std::u16string_view path, uint64_t& size) {
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0) return SysErrorFromErrno(errno);
  size = static_cast<uint64_t>(st.st_size);
  return SysError::kSuccess;
}

uint32_t GetFileStamp(std::u16string_view path, FileStamp& stamp) {
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0) return SysErrorFromErrno(errno);
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return SysError::kSuccess;
}

uint32_t GetFreeDiskSpace(std::u16string_view path, uint64_t& bytes) {
  struct statvfs st;
  if (::statvfs(NativePath(path).c_str(), &st) != 0) return SysErrorFromErrno(errno);
  bytes = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  return SysError::kSuccess;
}

uint32_t GetDiskId(std::u16string_view path, uint64_t& id) {
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0) return SysErrorFromErrno(errno);
  id = static_cast<uint64_t>(st.st_dev);
  return SysError::kSuccess;
}

uint32_t ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries) {
  const std::string path = NativePath(folder);
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return SysErrorFromErrno(errno);
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    FolderEntry entry;
    entry.name = Posix::FromNative(name);
    entry.isFolder = S_ISDIR(st.st_mode);
    entry.isLink = S_ISLNK(st.st_mode);
    entry.size = entry.isFolder ? 0 : static_cast<uint64_t>(st.st_size);
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  return SysError::kSuccess;
}

std::u16string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp && *tmp) ? tmp : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return Posix::FromNative(folder);
}

std::u16string AbsolutePath(std::u16string_view path) {
  if (!path.empty() && path.front() == u'/') return std::u16string(path);
  char* current = ::getcwd(nullptr, 0);
  if (!current) return std::u16string(path);
  const std::u16string folder = Posix::FromNative(current);
  std::free(current);
  return path.empty() ? folder : PathAppend(folder, path);
}

uint32_t CreateTempFile(std::u16string_view folder, std::u16string_view prefix,
                        std::u16string& path) {
  // The name is joined to the folder as it is, so an empty prefix still
  // leaves the file inside the folder.
  std::string pattern = NativePath(JoinFileName(folder, prefix)) + "XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return errno == ENOENT ? SysError::kPathNotFound : SysErrorFromErrno(errno);
  ::close(fd);
  path = Posix::FromNative(pattern);
  return SysError::kSuccess;
}

namespace {

enum class Privacy { Shared, Private };

// Replaces target whole: the bytes go to a new file beside it, reach the
// disk, and are renamed over it.
uint32_t ReplaceFileWhole(std::u16string_view path, std::string_view bytes, Privacy privacy) {
  const std::string target = NativePath(path);
  const size_t cut = target.find_last_of('/');
  const std::string folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : target.substr(0, cut));
  if (!IsFolder(folder)) return SysError::kPathNotFound;
  struct stat existing;
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  // Another user's file in the place of a private one is not ours to keep:
  // it is replaced like a missing one (the rename never writes into it).
  const bool ours = !exists || privacy == Privacy::Shared || Posix::TrustedOwner(existing.st_uid);
  // A file its writer may not write stays as it is, as when it is opened for
  // writing in place; the rename below would otherwise replace it. A file
  // nobody may write is read-only even for the administrator, who passes
  // every access check.
  if (ours && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
    return SysError::kAccessDenied;
  if (ours && exists && S_ISREG(existing.st_mode) && (existing.st_mode & 0222) == 0)
    return SysError::kAccessDenied;
  // The new file must land in the target's folder, so the final rename stays
  // on one file system and is atomic.
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return SysErrorFromErrno(errno);
  int err = 0;
  if (privacy == Privacy::Private) {
    // mkstemp creates 0600 already: only the owner changes.
    err = Posix::GiveToSessionOwner(fd);
  } else {
    // The replaced file is read by other users' programs.
    ::fchmod(fd, 0644);
  }
  if (err) {
    ::close(fd);
  } else {
    err = Posix::WriteSyncClose(fd, bytes);
  }
  if (!err && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(temp.c_str());
    return SysErrorFromErrno(err);
  }
  SyncFolderOf(target);
  return SysError::kSuccess;
}

}  // namespace

uint32_t WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  return ReplaceFileWhole(path, bytes, Privacy::Shared);
}

uint32_t WritePrivateFileAtomically(std::u16string_view path, std::string_view bytes) {
  return ReplaceFileWhole(path, bytes, Privacy::Private);
}

}  // namespace VendraPlatform
