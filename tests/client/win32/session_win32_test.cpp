// The session lock, the channel and the stored session with two processes on
// Windows (run under Wine by the Windows test script).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/named_mutex_lock.h"
#include "client/shared_memory_channel.h"
#include "client/v_client.h"
#include "common/text/utf.h"
#include "platform/local_path.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace {

std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Built beside the test program.
std::u16string HelperPath() {
  return VendraPlatform::PathAppend(VendraPlatform::FolderOf(VendraPlatform::ModuleFileName()),
                                    u"client_session_helper_win32.exe");
}

// The helper program, started with a command line; ended (killed if need be)
// when the holder goes.
class Helper {
 public:
  explicit Helper(const std::u16string& arguments) {
    std::wstring line = L"\"" + W(HelperPath()) + L"\" " + W(arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &info_))
      ::CloseHandle(info_.hThread);
  }
  ~Helper() {
    if (!info_.hProcess) return;
    if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(info_.hProcess, 99);
    ::CloseHandle(info_.hProcess);
  }
  // The exit code, or -1 when it did not end within the time.
  int Wait(DWORD milliseconds = 60000) {
    if (!info_.hProcess || ::WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION info_ = {};
};

// A pair of named events: the helper sets NAME-ready, the test sets NAME-go.
class Handshake {
 public:
  explicit Handshake(const std::wstring& name)
      : ready_(::CreateEventW(nullptr, TRUE, FALSE, (name + L"-ready").c_str())),
        go_(::CreateEventW(nullptr, TRUE, FALSE, (name + L"-go").c_str())) {}
  ~Handshake() {
    ::CloseHandle(ready_);
    ::CloseHandle(go_);
  }
  bool AwaitReady() { return ::WaitForSingleObject(ready_, 30000) == WAIT_OBJECT_0; }
  void Go() { ::SetEvent(go_); }

 private:
  HANDLE ready_;
  HANDLE go_;
};

VendraClient::NamedMutexLock& OwnSessionLock() {
  static VendraClient::NamedMutexLock lock(u"", u"Global\\Vendra Software-Sync");
  return lock;
}

TEST(SessionWin32Test, LockHeldByAnotherProcessWaitsForIt) {
  Handshake handshake(L"vendra-test-hold");
  Helper holder(u"hold-lock vendra-test-hold");
  ASSERT_TRUE(handshake.AwaitReady());
  EXPECT_FALSE(OwnSessionLock().Acquire(200));
  handshake.Go();
  EXPECT_EQ(holder.Wait(), 0);
  ASSERT_TRUE(OwnSessionLock().Acquire(0));
  ASSERT_TRUE(OwnSessionLock().Acquire(0));
  OwnSessionLock().Release();
  // Still held: the other process cannot have it.
  EXPECT_EQ(Helper(u"try-lock 100").Wait(), 1);
  OwnSessionLock().Release();
  EXPECT_EQ(Helper(u"try-lock 100").Wait(), 0);
}

TEST(SessionWin32Test, LockOfAProcessThatEndedIsTaken) {
  Handshake handshake(L"vendra-test-die");
  Helper holder(u"hold-lock-and-die vendra-test-die");
  ASSERT_TRUE(handshake.AwaitReady());
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_TRUE(OwnSessionLock().Acquire(5000));
  OwnSessionLock().Release();
}

TEST(SessionWin32Test, ChannelCarriesTextBetweenProcesses) {
  EXPECT_EQ(Helper(u"read anything").Wait(), 2);
  Handshake handshake(L"vendra-test-write");
  Helper writer(u"write token-from-helper vendra-test-write");
  ASSERT_TRUE(handshake.AwaitReady());
  {
    VendraClient::SharedMemoryChannel channel;
    char buffer[VendraClient::SharedMemoryChannel::kSize] = {};
    EXPECT_EQ(channel.Read(buffer), 4096u);
    EXPECT_STREQ(buffer, "token-from-helper");
    ASSERT_EQ(channel.Write("short", 6), 6u);
    EXPECT_EQ(Helper(u"read short").Wait(), 0);
  }
  handshake.Go();
  EXPECT_EQ(writer.Wait(), 0);
  // Nobody has the block open any more: it is gone.
  EXPECT_EQ(Helper(u"read short").Wait(), 2);
}

TEST(SessionWin32Test, TwoProcessesSavingKeepTheFileComplete) {
  // The stored session of a machine root of the test's own, which the
  // helpers inherit; the machine's real data folder stays untouched.
  VendraTest::TempFolder machineRoot;
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machineRoot.path());
  VendraClient::VClient client;
  std::u16string path;
  client.GetDataPath(u"localStorage.json", path);
  uint32_t error = 0;
  ASSERT_TRUE(VendraPlatform::CreateLocalPath(path, error)) << error;
  HANDLE file = ::CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string text = "{\"username\":\"ada\"}";
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  Helper first(u"save-loop 50");
  Helper second(u"save-loop 50");
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
}

}  // namespace
