#pragma once

// POSIX layer only: the one loop that puts a file's bytes on the disk, shared
// by every writer that makes a file whole before naming it.

#include <string_view>

namespace VendraPlatform::Posix {

// Writes every byte, going on after short writes and interrupted calls.
// 0 or the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes);

// Writes every byte, syncs them to the disk and closes fd, which is closed
// whatever happens. 0 or the first errno met: a file that answers 0 is whole
// on the disk, so it may be renamed over its target.
int WriteSyncClose(int fd, std::string_view bytes);

}  // namespace VendraPlatform::Posix
