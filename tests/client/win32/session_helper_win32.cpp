// The second process of the Windows session tests. One command per run:
//   hold-lock NAME        takes the session lock, sets event NAME-ready, waits
//                         for NAME-go, gives the lock back; exit 0
//   hold-lock-and-die NAME  takes the session lock, sets NAME-ready and ends
//                         without giving it back (the mutex is abandoned)
//   try-lock MS           exit 0 when the session lock came within MS, else 1
//   write TEXT NAME       writes TEXT to the channel, sets NAME-ready, waits for
//                         NAME-go; exit 0 when every byte was written
//   read EXPECTED         exit 0 when the channel holds EXPECTED, 1 when it holds
//                         something else, 2 when there is no block
//   save-loop N           N rounds of LoadSession + SaveSession under the session
//                         lock; exit code = rounds whose file was not complete
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/session_lock.h"
#include "client/shared_memory_channel.h"
#include "client/v_client.h"
#include "common/text/utf.h"
#include "json/files.h"
#include "json/object.h"
#include "json/value.h"

namespace {

std::vector<std::u16string> Arguments() {
  int count = 0;
  wchar_t** list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::u16string> out;
  for (int i = 0; i < count; ++i) out.emplace_back(reinterpret_cast<const char16_t*>(list[i]));
  ::LocalFree(list);
  return out;
}

HANDLE Event(const std::u16string& name) {
  return ::CreateEventW(nullptr, TRUE, FALSE, reinterpret_cast<const wchar_t*>(name.c_str()));
}

void Ready(const std::u16string& name) { ::SetEvent(Event(name + u"-ready")); }
void AwaitGo(const std::u16string& name) { ::WaitForSingleObject(Event(name + u"-go"), 60000); }

int SaveLoop(int rounds) {
  VendraClient::VClient client;
  std::u16string path;
  client.GetDataPath(u"localStorage.json", path);
  int bad = 0;
  for (int i = 0; i < rounds; ++i) {
    {
      VendraClient::NamedMutexLockGuard lock(VendraClient::SessionLock(), 60000);
      client.LoadSession();
      if (!lock.acquired() || !client.SaveSession()) ++bad;
    }
    Vendra::RefPtr<VendraJSON::VSJValue> value;
    std::u16string error;
    if (!VendraJSON::LoadFile(path, value.Receive(), error) ||
        value->GetType() != VendraJSON::kTypeObject ||
        !static_cast<VendraJSON::VSJObject*>(value.get())->Has(u"username"))
      ++bad;
  }
  return bad;
}

}  // namespace

int main() {
  const auto args = Arguments();
  if (args.size() < 3) return 100;
  const std::u16string& command = args[1];
  if (command == u"hold-lock" || command == u"hold-lock-and-die") {
    if (!VendraClient::SessionLock().Acquire(0)) return 3;
    Ready(args[2]);
    if (command == u"hold-lock-and-die") ::ExitProcess(0);
    AwaitGo(args[2]);
    VendraClient::SessionLock().Release();
    return 0;
  }
  if (command == u"try-lock")
    return VendraClient::SessionLock().Acquire(std::stoul(VendraText::Utf16ToUtf8(args[2]))) ? 0 : 1;
  if (command == u"write" && args.size() >= 4) {
    VendraClient::SharedMemoryChannel channel;
    const std::string text = VendraText::Utf16ToUtf8(args[2]);
    const auto length = static_cast<uint32_t>(text.size() + 1);
    const bool written = channel.Write(text.c_str(), length) == length;
    Ready(args[3]);
    AwaitGo(args[3]);
    return written ? 0 : 4;
  }
  if (command == u"read") {
    VendraClient::SharedMemoryChannel channel;
    char buffer[VendraClient::SharedMemoryChannel::kSize] = {};
    if (channel.Read(buffer) == 0) return 2;
    buffer[sizeof buffer - 1] = '\0';
    return VendraText::Utf16ToUtf8(args[2]) == buffer ? 0 : 1;
  }
  if (command == u"save-loop") return SaveLoop(std::stoi(VendraText::Utf16ToUtf8(args[2])));
  return 101;
}
