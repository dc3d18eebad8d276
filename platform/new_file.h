#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace VendraPlatform {

// Answered when a path, once its links are resolved, leads outside the folder
// it must stay in.
inline constexpr uint32_t kOutsideFolder = 1921;

// Creates the missing folders between within and folder. No level below
// within is reached through a link that resolves outside within (answer
// kOutsideFolder), and folder must be within or below it by its spelling.
uint32_t CreateFolderInside(std::u16string_view within, std::u16string_view folder);

// Removes the file at path when its folder is within or below it and is
// reached without leaving within through a link (kOutsideFolder otherwise).
// A link at path itself is removed, never what it points at. A file that is
// not there answers kFileNotFound.
uint32_t DeleteFileInside(std::u16string_view within, std::u16string_view path);

// The file at path moved aside to the first free name of "NAME.user-1",
// "NAME.user-2", ... beside it (a link there: the link itself, never what it
// points at), when its folder is reached as DeleteFileInside reaches it. The
// rename never replaces anything; a name taken meanwhile is passed over.
// The new path goes to aside. A file that is not there answers
// kFileNotFound.
inline constexpr char16_t kAsideInfix[] = u".user-";
inline constexpr int kMostAsideNames = 100;
uint32_t MoveAsideInside(std::u16string_view within, std::u16string_view path,
                         std::u16string& aside);

// A file written as a new temporary file beside its target and put in place
// by a rename only when complete, so that nothing partial ever carries the
// target's name and a link or a special file planted at the target is
// replaced, never followed or opened. The temporary file is created
// exclusively and without following links; it is removed again unless
// Place succeeded.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Makes the target's missing folders (see CreateFolderInside; an empty
  // within stands for the target's own folder) and the temporary file.
  uint32_t Create(std::u16string_view within, std::u16string_view target);
  File& Output() { return output_; }
  const std::u16string& TempPath() const { return tempPath_; }
  // Sets the permissions on the open file (executable: a program every user
  // may start, otherwise a file every user may read), pushes its data to the
  // disk and closes it, so that what can fail after that is the rename alone.
  // A failure discards the file.
  uint32_t Finish(bool executable = false);
  // Renames the file over the target, finishing it first when Finish was not
  // called.
  uint32_t Place(bool executable = false);
  // Removes the temporary file; the target is untouched.
  void Discard();

 private:
  File output_;
  std::u16string tempPath_;
  std::u16string target_;
  // While a temporary file exists: the target's folder, held open where the
  // system allows it (POSIX), so that the file is created and renamed in the
  // folder that was checked; elsewhere only a mark.
  intptr_t folder_ = -1;
};

}  // namespace VendraPlatform
