#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraPlatform {

// A named block of memory shared by the processes that have it open. A new
// block starts zero-filled, and its content is gone once the last process
// has closed it: the next one to create it starts afresh.
//
// Windows: a file mapping backed by the paging file. POSIX: a file in a
// memory file system; every process that has it open holds a shared lock on
// it, and the one that closes it last removes it. A block left behind by
// processes that ended without closing it is emptied by the next one to
// open it. A block open to anyone but its owner is refused (it could be read
// by everyone), as are a block another user owns (root's and the session
// owner's count as ours; platform/posix/ownership.h) and anything but a plain
// file: this process never writes the token into someone else's block.
class SharedMemory {
 public:
  SharedMemory() = default;
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // Opens the existing block of that name; never creates one. Answers a
  // system error number (2 when there is no such block).
  uint32_t OpenExisting(std::u16string_view name);
  // Creates the block with size bytes, or opens it when it exists.
  uint32_t Create(std::u16string_view name, uint32_t size);
  // Whether a block is open.
  bool IsOpen() const { return handle_ != kNone; }

  // Maps the first size bytes of the open block for reading and writing.
  uint32_t Map(uint32_t size);
  // The mapped bytes, null when nothing is mapped.
  void* View() const { return view_; }
  // Unmaps the bytes; the block stays open.
  void Unmap();
  // Unmaps and closes.
  void Close();

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
  void* view_ = nullptr;
  uint32_t viewSize_ = 0;
  std::u16string name_;
};

}  // namespace VendraPlatform
