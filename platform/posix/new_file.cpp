// POSIX layer only.
#include "platform/new_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/errno_map.h"
#include "platform/posix/folder_inside.h"
#include "platform/posix/posix_text.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

using Posix::NativePath;
using Posix::SysErrorFromErrno;

// One separator between parts and none at the end, so that paths can be
// compared by their spelling.
std::string Tidy(std::string path) {
  std::string out;
  for (const char c : path) {
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

bool IsInside(const std::string& path, const std::string& root) {
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          (root == "/" || path[root.size()] == '/'));
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// Opens folder, walking down from within one level at a time (making missing
// levels when asked). A level that is a link is entered only when it resolves
// inside within; the descriptor then holds the folder that was checked.
uint32_t OpenFolderInside(const std::string& withinPath, const std::string& folderPath,
                          bool create, int& out) {
  const std::string within = Tidy(withinPath);
  const std::string folder = Tidy(folderPath);
  if (!IsInside(folder, within)) return kOutsideFolder;
  Descriptor current(::open(within.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (current.get() < 0) return errno == ENOENT ? SysError::kPathNotFound : SysErrorFromErrno(errno);
  std::string reached = within;
  size_t pos = folder.size() > within.size() ? within.size() + (within == "/" ? 0 : 1) : folder.size();
  std::string withinReal;
  while (pos < folder.size()) {
    const size_t end = folder.find('/', pos);
    const std::string part = folder.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? folder.size() : end + 1;
    if (part == "." || part == "..") return kOutsideFolder;
    reached += (reached == "/" ? "" : "/") + part;
    if (create && ::mkdirat(current.get(), part.c_str(), 0755) != 0 && errno != EEXIST)
      return errno == ENOENT ? SysError::kPathNotFound : SysErrorFromErrno(errno);
    int next = ::openat(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && (errno == ELOOP || errno == ENOTDIR)) {
      struct stat st;
      if (::fstatat(current.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
        return SysError::kPathNotFound;
      if (withinReal.empty()) withinReal = RealPath(within);
      const std::string resolved = RealPath(reached);
      if (withinReal.empty() || resolved.empty() || !IsInside(resolved, withinReal))
        return kOutsideFolder;
      next = ::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (next < 0) return errno == ENOENT ? SysError::kPathNotFound : SysErrorFromErrno(errno);
    current.Reset(next);
  }
  out = current.Release();
  return SysError::kSuccess;
}

std::string FolderPart(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

// Six characters nobody can guess, for the temporary file's name.
std::string RandomPart() {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    for (auto& b : bytes) b = static_cast<unsigned char>(std::rand());
  }
  std::string out;
  for (const unsigned char b : bytes) out += kDigits[b % 36];
  return out;
}

}  // namespace

uint32_t CreateFolderInside(std::u16string_view within, std::u16string_view folder) {
  int fd = -1;
  const uint32_t err = OpenFolderInside(NativePath(within), NativePath(folder), true, fd);
  if (fd >= 0) ::close(fd);
  return err;
}

uint32_t Posix::OpenFolderOfFile(std::u16string_view within, std::u16string_view target,
                                 int& folder, std::string& name) {
  const std::string path = Tidy(NativePath(target));
  name = path.substr(path.find_last_of('/') + 1);
  if (name.empty() || name == "." || name == "..") return SysError::kInvalidName;
  return OpenFolderInside(NativePath(within), FolderPart(path), false, folder);
}

uint32_t DeleteFileInside(std::u16string_view within, std::u16string_view target) {
  int dir = -1;
  std::string name;
  if (const uint32_t err = Posix::OpenFolderOfFile(within, target, dir, name)) return err;
  Descriptor held(dir);
  // Removed by name inside the folder that was checked: a folder swapped in
  // after the walk is never reached.
  return ::unlinkat(dir, name.c_str(), 0) == 0 ? SysError::kSuccess : SysErrorFromErrno(errno);
}

uint32_t MoveAsideInside(std::u16string_view within, std::u16string_view target,
                         std::u16string& aside) {
  int dir = -1;
  std::string name;
  if (const uint32_t err = Posix::OpenFolderOfFile(within, target, dir, name)) return err;
  Descriptor held(dir);
  for (int number = 1; number <= kMostAsideNames; ++number) {
    const std::string spare = name + Posix::Native(kAsideInfix) + std::to_string(number);
    // Renamed by name inside the checked folder, never over anything: a name
    // taken meanwhile, by a file or a link, is passed over.
    int moved = ::renameat2(dir, name.c_str(), dir, spare.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && errno == EINVAL) {
      // A file system without the no-replace rename: a second name made
      // exclusively, then the first one dropped.
      moved = ::linkat(dir, name.c_str(), dir, spare.c_str(), 0);
      if (moved == 0 && ::unlinkat(dir, name.c_str(), 0) != 0) {
        const int err = errno;
        ::unlinkat(dir, spare.c_str(), 0);
        return SysErrorFromErrno(err);
      }
    }
    if (moved == 0) {
      ::fsync(dir);
      aside = std::u16string(target) + Posix::FromNative(spare.substr(name.size()));
      return SysError::kSuccess;
    }
    if (errno != EEXIST) return errno == ENOENT ? SysError::kFileNotFound : SysErrorFromErrno(errno);
  }
  return SysError::kAlreadyExists;
}

NewFile::~NewFile() { Discard(); }

uint32_t NewFile::Create(std::u16string_view within, std::u16string_view target) {
  Discard();
  const std::string path = Tidy(NativePath(target));
  const std::string folder = FolderPart(path);
  const std::string name = path.substr(path.find_last_of('/') + 1);
  if (name.empty() || name == "." || name == "..") return SysError::kInvalidName;
  int dir = -1;
  if (const uint32_t err =
          OpenFolderInside(within.empty() ? folder : NativePath(within), folder, true, dir))
    return err;
  Descriptor held(dir);
  // A file its caller may not write stays as it is, as when it is opened for
  // writing in place; the rename would otherwise replace it. A file nobody
  // may write is read-only for the administrator too, who passes every
  // access check.
  struct stat st;
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
      ((st.st_mode & 0222) == 0 ||
       (::faccessat(dir, name.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)))
    return SysError::kAccessDenied;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string temp = name + ".new-" + RandomPart();
    const int fd = ::openat(dir, temp.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return errno == ENOENT ? SysError::kPathNotFound : SysErrorFromErrno(errno);
    }
    output_.handle_ = fd;
    folder_ = held.Release();
    tempPath_ = Posix::FromNative(folder + "/" + temp);
    target_ = Posix::FromNative(name);
    return SysError::kSuccess;
  }
  return SysError::kAlreadyExists;
}

uint32_t NewFile::Finish(bool executable) {
  if (folder_ < 0 || !output_.IsOpen()) return SysError::kInvalidParameter;
  const int fd = static_cast<int>(output_.handle_);
  uint32_t err = ::fchmod(fd, executable ? 0755 : 0644) == 0 ? output_.Flush() : SysErrorFromErrno(errno);
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
  const std::string temp = Posix::Native(tempPath_.substr(tempPath_.find_last_of(u'/') + 1));
  const int dir = static_cast<int>(folder_);
  if (::renameat(dir, temp.c_str(), dir, Posix::Native(target_).c_str()) != 0)
    return SysErrorFromErrno(errno);
  ::fsync(dir);
  ::close(dir);
  folder_ = -1;
  tempPath_.clear();
  return SysError::kSuccess;
}

void NewFile::Discard() {
  output_.Close();
  if (folder_ < 0) return;
  const int dir = static_cast<int>(folder_);
  if (!tempPath_.empty())
    ::unlinkat(dir, Posix::Native(tempPath_.substr(tempPath_.find_last_of(u'/') + 1)).c_str(), 0);
  ::close(dir);
  folder_ = -1;
  tempPath_.clear();
}

}  // namespace VendraPlatform
