#include "packagemanager/engine/install_lock.h"

#include <string>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace VendraBuild {
namespace {

constexpr char16_t kMutexName[] = u"VendraBuild.install";

// A process id and a line end.
constexpr size_t kHolderFileLimit = 11;

bool Held(VendraPlatform::NamedMutex::WaitResult result) {
  return result == VendraPlatform::NamedMutex::WaitResult::Acquired ||
         result == VendraPlatform::NamedMutex::WaitResult::Abandoned;
}

}  // namespace

InstallLock::~InstallLock() {
  if (!held_) return;
  VendraPlatform::DeleteFile(holderFile_);
  mutex_.Release();
}

uint32_t InstallLock::Holder() const {
  if (const uint32_t told = mutex_.CurrentHolder().processId) return told;
  std::string text;
  std::u16string ignored;
  if (VendraPlatform::ReadSmallFile(holderFile_, kHolderFileLimit, text, ignored) != 0 ||
      text.empty())
    return 0;
  uint64_t id = 0;
  for (const char c : text) {
    if (c == '\n') break;
    if (c < '0' || c > '9') return 0;
    id = id * 10 + static_cast<uint64_t>(c - '0');
  }
  return id <= UINT32_MAX ? static_cast<uint32_t>(id) : 0;
}

InstallLock::Result InstallLock::Acquire(uint32_t seconds,
                                         const std::function<void(uint32_t holder)>& waiting,
                                         uint32_t& error) {
  error = mutex_.Create(kMutexName);
  if (error != 0) return Result::Failed;
  auto result = mutex_.Wait(0);
  // Without a wait the caller gives up at once and names the holder itself:
  // "waiting" would be untrue.
  if (result == VendraPlatform::NamedMutex::WaitResult::TimedOut && seconds > 0) {
    if (waiting) waiting(Holder());
    result = mutex_.Wait(seconds * 1000);
  }
  if (!Held(result))
    return result == VendraPlatform::NamedMutex::WaitResult::TimedOut ? Result::TimedOut
                                                                      : Result::Failed;
  held_ = true;
  // Only shown to a waiting program; the lock works without it. The data
  // folder is the installer's to make (with its access rule), never ours.
  if (VendraPlatform::FolderExists(VendraPlatform::FolderOf(holderFile_)))
    VendraPlatform::WriteFileAtomically(
        holderFile_, std::to_string(VendraPlatform::CurrentProcessId()) + "\n");
  return Result::Acquired;
}

}  // namespace VendraBuild
