// POSIX layer only.
#include "platform/trusted_folder.h"

#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/elevation.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/ownership.h"
#include "platform/posix/posix_text.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

using Posix::FromNative;

// Someone who made the folder first, or who may still add, replace or
// remove files in it, could hand this program a file of their choosing.
bool IsTrusted(const struct stat& st) {
  return S_ISDIR(st.st_mode) && Posix::OwnedByRootOrSelf(st.st_uid) &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string OwnerName(uid_t uid) {
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[1024];
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
    return std::string(found->pw_name) + " (" + std::to_string(uid) + ")";
  return "user " + std::to_string(uid);
}

std::string AsideName(const std::string& path) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
    return path + ".untrusted-" + std::to_string(::getpid());
  std::string out = path + ".untrusted-";
  for (const unsigned char b : bytes) out += kDigits[b % 36];
  return out;
}

std::string Describe(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return "is a link";
  if (!S_ISDIR(st.st_mode)) return "is not a folder";
  if (!Posix::OwnedByRootOrSelf(st.st_uid)) return "belongs to " + OwnerName(st.st_uid);
  return "may be changed by other users (mode " + [&] {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string(mode);
  }() + ", owner " + OwnerName(st.st_uid) + ")";
}

// The data folder holds the folder: whoever owns it, or may rename what it
// holds, could swap the folder for another between the check and the use.
// Open to everyone it must be sticky, as the shared data folder is.
std::string DistrustAbove(const std::string& parent) {
  struct stat st;
  if (::lstat(parent.c_str(), &st) != 0) return {};
  if (S_ISLNK(st.st_mode)) return "is a link";
  if (!S_ISDIR(st.st_mode)) return "is not a folder";
  if (!Posix::OwnedByRootOrSelf(st.st_uid))
    return "belongs to " + OwnerName(st.st_uid) + ", who is neither root nor this program's user";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX))
    return "lets other users rename what it holds (writable by others, not sticky)";
  return {};
}

}  // namespace

uint32_t EnsureTrustedFolder(std::u16string_view folder, std::u16string& problem) {
  std::string path = Posix::NativePath(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (const size_t cut = path.find_last_of('/'); cut != std::string::npos && cut > 0) {
    const std::string parent = path.substr(0, cut);
    if (const std::string why = DistrustAbove(parent); !why.empty()) {
      problem = FromNative("The folder " + parent + " " + why +
                           "; nothing is started from it or kept in it. An administrator must "
                           "remove it and run the installer again");
      return SysError::kAccessDenied;
    }
  }
  // Only a program that may write the machine-wide places repairs them: a
  // user's program that moved a folder aside could not put back what it
  // held for the other users.
  const bool mayRepair = HasMachineWriteRights();
  // A few rounds: another user may put a new folder in place each time one
  // is moved aside.
  for (int round = 0; round < 4; ++round) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) return Posix::SysErrorFromErrno(errno);
      if (::mkdir(path.c_str(), 0755) == 0) {
        // mkdir honours the umask; the mode must be exact.
        ::chmod(path.c_str(), 0755);
      } else if (errno != EEXIST) {
        const int err = errno;
        problem = FromNative("Cannot create the folder " + path + ": " + std::to_string(err));
        return err == ENOENT ? SysError::kPathNotFound : Posix::SysErrorFromErrno(err);
      }
      continue;
    }
    if (IsTrusted(st)) return SysError::kSuccess;
    if (!mayRepair) {
      problem = FromNative("The folder " + path + " " + Describe(st) +
                           "; nothing is started from it or kept in it until the installer, run "
                           "as an administrator, replaces it");
      return SysError::kAccessDenied;
    }
    const std::string aside = AsideName(path);
    if (::rename(path.c_str(), aside.c_str()) != 0) {
      problem = FromNative("The folder " + path + " " + Describe(st) +
                           " and cannot be moved aside; remove it (as its owner or an "
                           "administrator) and try again");
      return SysError::kAccessDenied;
    }
  }
  problem = FromNative("The folder " + path +
                       " keeps being replaced by another user; remove it and try again");
  return SysError::kAccessDenied;
}

}  // namespace VendraPlatform
