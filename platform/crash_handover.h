#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace VendraPlatform {

// Handing a block of bytes to a helper program that this process starts:
// the sender starts the program, puts the bytes where the program can read
// them, finds the program's receiving window by class and title, sends it
// one message naming the bytes and waits until it has been handled, then
// releases the bytes. The receiver makes the window and copies the bytes
// while it handles the message.
//
// Windows: CreateProcessW, VirtualAllocEx + WriteProcessMemory into the new
// process, a message-only window found with FindWindowExW(HWND_MESSAGE),
// SendMessageW with the remote address and the length, VirtualFreeEx.
// POSIX: the window is a Unix-domain socket in the machine's object folder
// named from the class and title; the bytes are an anonymous shared-memory
// block (mode 0600) passed as a descriptor over the socket; a one-byte
// answer means "handled".
//
// Answers are system error numbers (0 on success).
class ICrashHandover {
 public:
  virtual ~ICrashHandover() = default;

  // Starts the program the command line names first (Windows quoting rules),
  // with this process's environment and current folder; nothing is inherited
  // and the program outlives this process.
  virtual uint32_t Start(std::u16string_view commandLine) = 0;
  // Copies size bytes into memory the started program can read.
  virtual uint32_t Place(const void* data, size_t size) = 0;
  // Looks once for the receiving window of that class and title.
  virtual bool FindReceiver(std::u16string_view windowClass, std::u16string_view title) = 0;
  // Sends message with the placed bytes and waits until it has been handled.
  virtual uint32_t Deliver(uint32_t message) = 0;
  // Releases the placed bytes (nothing to do when none were placed).
  virtual uint32_t Release() = 0;
};

// This system's sending side, owned by the caller.
std::unique_ptr<ICrashHandover> NewCrashHandover();

// The receiving side, in the started program.
class ICrashReceiver {
 public:
  virtual ~ICrashReceiver() = default;

  // Makes the receiving window of that class and title.
  virtual uint32_t Open(std::u16string_view windowClass, std::u16string_view title) = 0;
  // Waits up to timeoutMs for message and copies the bytes it names into
  // bytes before the sender is released. SysError::kTimeout when none came.
  virtual uint32_t Receive(uint32_t message, uint32_t timeoutMs, std::string& bytes) = 0;
};

// This system's receiving side, owned by the caller.
std::unique_ptr<ICrashReceiver> NewCrashReceiver();

}  // namespace VendraPlatform
