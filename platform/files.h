#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Files and folders. Every operation answers a Windows system error number
// (platform/sys_error.h), 0 for success.
namespace VendraPlatform {

// Creates a folder and every missing parent, with the answers of the shell's
// folder creation: 0 created, 183 already there, 3 path unusable, 5 denied.
uint32_t CreateFolderTree(std::u16string_view folder);

// Creates the machine-wide shared folder with the access rule the system's
// programs rely on (every user may create and change their own files in it;
// see the platform implementation for how that is expressed). True only when
// this call created it; an existing folder is left alone.
bool CreateSharedFolder(std::u16string_view folder);

// Moves a file, replacing the target, across file systems when needed, and
// returns only when the data has reached the disk.
uint32_t MoveFileReplacing(std::u16string_view from, std::u16string_view to);

uint32_t DeleteFile(std::u16string_view path);
// Removes a folder that is empty; a folder with anything in it stays.
uint32_t RemoveEmptyFolder(std::u16string_view path);
bool FileExists(std::u16string_view path);
bool FolderExists(std::u16string_view path);
uint32_t GetFileSize(std::u16string_view path, uint64_t& size);
// A file's size and last modification time, in the system's own finest
// unit (only ever compared with another stamp of the same file): a write
// changes the stamp unless someone sets the time back on purpose.
struct FileStamp {
  uint64_t size = 0;
  int64_t modified = 0;
  bool operator==(const FileStamp& other) const {
    return size == other.size && modified == other.modified;
  }
};
uint32_t GetFileStamp(std::u16string_view path, FileStamp& stamp);
// The bytes an unprivileged write may still use on the disk that holds path
// (a folder, which must exist).
uint32_t GetFreeDiskSpace(std::u16string_view path, uint64_t& bytes);
// Which disk (file system, volume) holds path, which must exist: two paths
// on the same disk get the same id, so that what is written to both is
// counted against one free space.
uint32_t GetDiskId(std::u16string_view path, uint64_t& id);

struct FolderEntry {
  std::u16string name;
  bool isFolder = false;
  // A symbolic link, junction or other redirection, described as itself and
  // never as what it leads to (POSIX: a link to a folder is no folder).
  bool isLink = false;
  uint64_t size = 0;
};
// Lists a folder's entries, without "." and "..".
uint32_t ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries);

// The user's temporary folder, ending without a separator.
std::u16string TempFolder();
// path as a full path from the root, against the current folder when it is
// relative; links are left as they are. path itself when that cannot be told.
std::u16string AbsolutePath(std::u16string_view path);
// Creates a new empty file named prefix followed by a unique part inside
// folder; its path goes to path.
uint32_t CreateTempFile(std::u16string_view folder, std::u16string_view prefix, std::u16string& path);

// An open file, closed when the holder goes away.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // "rb": existing file for reading. Anything but a regular file (a folder,
  // a pipe, a device) is refused with 5, without waiting for a writer.
  uint32_t OpenForReading(std::u16string_view path);
  // A file of this program's own: opened only when it is a plain file
  // reached without a link at its last part; anything else answers 1920.
  uint32_t OpenOwnForReading(std::u16string_view path);
  // A file that holds a secret of this process's user (the session): opened
  // only when it is a plain file, reached without a link, that belongs to
  // that user or to the administrator. A link, or a file of another user,
  // counts as absent (2), so that another user can neither read nor plant
  // it; a folder or a device in its place answers 1920. POSIX: an own file
  // that others may read or write is narrowed to its owner on the way.
  uint32_t OpenPrivateForReading(std::u16string_view path);
  // "wb": creates or empties the file; as for reading, only a regular file.
  uint32_t CreateForWriting(std::u16string_view path);
  // "ab": creates the file or keeps what it holds; writes go to its end.
  // Never follows a symbolic link at the last component.
  uint32_t OpenForAppending(std::u16string_view path);

  bool IsOpen() const;
  // Reads up to size bytes; read is 0 at the end of the file.
  uint32_t Read(void* data, size_t size, size_t& read);
  // Writes every byte or fails (a full disk is an error, never a short file).
  uint32_t Write(const void* data, size_t size);
  uint32_t Size(uint64_t& size) const;
  // The next Read starts at offset bytes from the file's start.
  uint32_t Seek(uint64_t offset);
  // Pushes written data to the disk.
  uint32_t Flush();
  uint32_t Close();

 private:
  friend class NewFile;
  intptr_t handle_ = -1;
};

uint32_t ReadWholeFile(std::u16string_view path, std::string& bytes);

// Reads a small file of this program's own (a lock's holder, an install
// record) whole, opened as File::OpenOwnForReading does, but never more than
// limit bytes, whatever its size. Answers 0, or an error with problem naming
// the file: 2 (3) when it (its folder) is missing, 1920 when something else
// is in its place, 223 when it holds more than limit bytes.
uint32_t ReadSmallFile(std::u16string_view path, size_t limit, std::string& bytes,
                       std::u16string& problem);
// The same for a file that holds a secret of this process's user (the
// session), opened as File::OpenPrivateForReading does.
uint32_t ReadPrivateSmallFile(std::u16string_view path, size_t limit, std::string& bytes,
                              std::u16string& problem);

// Replaces path with bytes so that readers see either the old file or the
// whole new one: the data goes to a new file beside the target, reaches the
// disk, and is then renamed over it. Nothing is left behind on failure.
uint32_t WriteFileAtomically(std::u16string_view path, std::string_view bytes);

// The same for a file that holds a secret of this process's user: the new
// file may be read and written by its owner only (POSIX: mode 0600, given to
// the session owner; Windows: the owner, SYSTEM and Administrators). A file
// in its place that another user owns is replaced, never written through.
uint32_t WritePrivateFileAtomically(std::u16string_view path, std::string_view bytes);

}  // namespace VendraPlatform
