// A small program the client tests start several copies of, so that the
// session lock, the channel and the stored session meet real processes. It
// reads one command per line and answers each with one line, through
// channels of their own (on POSIX descriptors 3 and 4; on Windows the pipe
// handles named by its two arguments), since standard input and output
// belong to the windows the client may open:
//   lock MS | unlock | depth                 the session lock
//   hold-channel-lock | free-channel-lock    the channel's lock, held from outside
//   write TEXT | read | close-channel        a shared memory channel of its own
//   save-loop N                              N locked LoadSession + SaveSession, each checked
//   set-lock-wait MS                         the client's session lock wait
//   ensure-login | refresh | logout | username | email-code
//   login USER PASSWORD DIGEST(0/1) SECONDS | authorize CODE NAME | get-data P V
//   at MS COMMAND                            COMMAND once the monotonic clock reaches MS
// Client operations answer "result CODE TEXT". It ends when the commands end.
#include <stdio.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "client/named_mutex_lock.h"
#include "client/session_lock.h"
#include "client/shared_memory_channel.h"
#include "client/v_client.h"
#include "common/text/utf.h"
#include "json/files.h"
#include "json/object.h"
#include "json/value.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/terminal.h"
#include "ui/sign_in_windows.h"
#include "ui/terminal_dialog_backend.h"
#include "ui/window_state.h"

namespace {

using VendraClient::eVClientResult;
using VendraClient::NamedMutexLock;
using VendraClient::SharedMemoryChannel;
using VendraClient::VClient;

// The sign-in windows as on a system without a desktop: on a terminal whose
// input has ended, so that they end as cancelled on every system, where a
// real window would wait for a person who never comes.
class NobodyAtTheTerminal final : public VendraPlatform::ITerminal,
                                  public VendraPlatform::IMessageBox {
 public:
  bool Available(uint32_t&) override { return true; }
  void Write(std::u16string_view) override {}
  bool ReadLine(std::u16string_view, std::u16string&, bool) override { return false; }
  void Show(std::u16string_view, std::u16string_view) override {}
};

class HelperClient final : public VClient {
 public:
  eVClientResult ShowLoginWindow(std::u16string& error) override {
    return VendraUi::ShowLoginWindow(*this, {backend_, VendraPlatform::SystemLauncher(), login_},
                                     error);
  }
  eVClientResult ShowDeviceAuthorizationWindow(std::u16string& error) override {
    return VendraUi::ShowDeviceAuthorizationWindow(
        *this, {backend_, VendraPlatform::SystemLauncher(), device_}, error);
  }

 private:
  NobodyAtTheTerminal nobody_;
  VendraUi::TerminalDialogBackend backend_{nobody_, nobody_};
  VendraUi::WindowState login_;
  VendraUi::WindowState device_;
};

class Helper {
 public:
  std::string Run(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (command == "at") return At(rest);
    if (command == "lock")
      return VendraClient::SessionLock().Acquire(static_cast<uint32_t>(std::stoul(rest)))
                 ? "locked"
                 : "timeout";
    if (command == "unlock") {
      VendraClient::SessionLock().Release();
      return "unlocked";
    }
    if (command == "depth") return "depth " + std::to_string(VendraClient::SessionLock().Depth());
    if (command == "hold-channel-lock") return ChannelLock().Acquire(5000) ? "held" : "busy";
    if (command == "free-channel-lock") {
      ChannelLock().Release();
      return "freed";
    }
    if (command == "write") return Write(rest);
    if (command == "read") return Read();
    if (command == "close-channel") {
      channel_.reset();
      return "closed";
    }
    if (command == "save-loop") return SaveLoop(std::stoi(rest));
    if (command == "set-lock-wait") {
      Client().SetSessionLockWait(static_cast<uint32_t>(std::stoul(rest)));
      return "set";
    }
    return Operation(command, rest);
  }

 private:
  std::string At(const std::string& rest) {
    const size_t space = rest.find(' ');
    const auto when = std::chrono::steady_clock::time_point(
        std::chrono::milliseconds(std::stoll(rest.substr(0, space))));
    std::this_thread::sleep_until(when);
    return Run(rest.substr(space + 1));
  }

  std::string Operation(const std::string& command, const std::string& rest) {
    std::istringstream in(rest);
    std::u16string error;
    std::u16string text;
    eVClientResult result = eVClientResult::NotSupported;
    if (command == "ensure-login") {
      result = Client().EnsureLogin(error);
    } else if (command == "refresh") {
      result = Client().RefreshToken(error);
    } else if (command == "logout") {
      result = Client().Logout(error);
    } else if (command == "username") {
      result = Client().GetUsername(text, error);
    } else if (command == "email-code") {
      result = Client().EmailDeviceCode(error);
    } else if (command == "login") {
      std::string user, password;
      int digest = 0;
      uint32_t seconds = 0;
      in >> user >> password >> digest >> seconds;
      result = Client().Login(user, password, digest != 0, seconds, error);
    } else if (command == "authorize") {
      std::string code, name;
      in >> code >> name;
      result = Client().AuthorizeDevice(VendraText::Utf8ToUtf16(code),
                                        VendraText::Utf8ToUtf16(name), error);
    } else if (command == "get-data") {
      std::string p, v;
      in >> p >> v;
      Vendra::RefPtr<VendraJSON::VSJObject> reply;
      result = Client().GetData(p, v, 0, reply.Receive(), error);
      if (reply) reply->ToString(text);
    } else {
      return "unknown " + command;
    }
    const std::u16string shown = text.empty() ? error : text;
    return "result " + std::to_string(VendraClient::ToInt(result)) + " " +
           VendraText::Utf16ToUtf8(shown);
  }

  std::string Write(const std::string& text) {
    const auto start = std::chrono::steady_clock::now();
    const uint32_t count = Channel().Write(text.c_str(), static_cast<uint32_t>(text.size() + 1));
    return Timed("wrote", count, start);
  }

  std::string Read() {
    char buffer[SharedMemoryChannel::kSize] = {};
    const auto start = std::chrono::steady_clock::now();
    const uint32_t count = Channel().Read(buffer);
    buffer[sizeof buffer - 1] = '\0';
    return Timed("read", count, start) + " " + buffer;
  }

  // Each round saves under the session lock, as the client's requests do,
  // then reads the file outside it, racing the other processes' saves.
  std::string SaveLoop(int rounds) {
    std::u16string path;
    Client().GetDataPath(u"localStorage.json", path);
    int bad = 0;
    for (int i = 0; i < rounds; ++i) {
      {
        VendraClient::NamedMutexLockGuard lock(VendraClient::SessionLock(), 60000);
        if (!lock.acquired()) ++bad;
        Client().LoadSession();
        if (!Client().SaveSession()) ++bad;
      }
      Vendra::RefPtr<VendraJSON::VSJValue> value;
      std::u16string error;
      if (!VendraJSON::LoadFile(path, value.Receive(), error) ||
          value->GetType() != VendraJSON::kTypeObject) {
        ++bad;
        continue;
      }
      const auto* object = static_cast<const VendraJSON::VSJObject*>(value.get());
      if (!object->Has(u"username") || !object->Has(u"refresh_token") ||
          !object->Has(u"local_token"))
        ++bad;
    }
    return "saved " + std::to_string(rounds) + " bad " + std::to_string(bad);
  }

  VClient& Client() {
    if (!client_) client_ = std::make_unique<HelperClient>();
    return *client_;
  }
  SharedMemoryChannel& Channel() {
    if (!channel_) channel_ = std::make_unique<SharedMemoryChannel>();
    return *channel_;
  }
  NamedMutexLock& ChannelLock() {
    if (!channelLock_)
      channelLock_ = std::make_unique<NamedMutexLock>(u"Global\\Mutex\\", u"Vendra Software/VC1");
    return *channelLock_;
  }
  // "word count milliseconds": how long the call took, measured in here.
  static std::string Timed(const char* word, uint32_t count,
                           std::chrono::steady_clock::time_point start) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return std::string(word) + " " + std::to_string(count) + " " + std::to_string(took.count());
  }

  std::unique_ptr<HelperClient> client_;
  std::unique_ptr<SharedMemoryChannel> channel_;
  std::unique_ptr<NamedMutexLock> channelLock_;
};

// The command and answer channels the test opened for this copy.
bool OpenChannels(int argc, char** argv, FILE*& commands, FILE*& answers) {
#ifdef _WIN32
  if (argc != 3) return false;
  const auto open = [](const char* handle, int flags, const char* mode) -> FILE* {
    const int fd = ::_open_osfhandle(static_cast<intptr_t>(std::stoull(handle)), flags);
    return fd < 0 ? nullptr : ::_fdopen(fd, mode);
  };
  commands = open(argv[1], _O_RDONLY | _O_BINARY, "rb");
  answers = open(argv[2], _O_WRONLY | _O_BINARY, "wb");
#else
  (void)argc;
  (void)argv;
  commands = ::fdopen(3, "r");
  answers = ::fdopen(4, "w");
#endif
  return commands && answers;
}

}  // namespace

int main(int argc, char** argv) {
  FILE* commands = nullptr;
  FILE* answers = nullptr;
  if (!OpenChannels(argc, argv, commands, answers)) return 2;
  Helper helper;
  std::string command;
  char block[4096];
  while (std::fgets(block, sizeof block, commands)) {
    command += block;
    if (command.back() != '\n') continue;
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
    const std::string answer = helper.Run(command);
    std::fprintf(answers, "%s\n", answer.c_str());
    std::fflush(answers);
    command.clear();
  }
  return 0;
}
