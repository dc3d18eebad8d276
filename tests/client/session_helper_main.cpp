// A small program the client tests start several copies of, so that the
// session lock, the channel and the stored session meet real processes. It
// reads one command per line and answers each with one line:
//   lock MS | unlock | depth          the session lock
//   hold-channel-lock | free-channel-lock   the channel's lock, held from outside
//   write TEXT | read | close-channel the shared memory channel
// It ends at "exit" or when its input ends.
#include <chrono>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "client/named_mutex_lock.h"
#include "client/session_lock.h"
#include "client/shared_memory_channel.h"

namespace {

using VendraClient::NamedMutexLock;
using VendraClient::SharedMemoryChannel;

class Helper {
 public:
  // Answers the command's line.
  std::string Run(const std::string& command, const std::string& argument) {
    if (command == "lock")
      return VendraClient::SessionLock().Acquire(static_cast<uint32_t>(std::stoul(argument)))
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
    if (command == "write") {
      const auto start = std::chrono::steady_clock::now();
      const uint32_t count =
          Channel().Write(argument.c_str(), static_cast<uint32_t>(argument.size() + 1));
      return Timed("wrote", count, start);
    }
    if (command == "read") {
      char buffer[SharedMemoryChannel::kSize] = {};
      const auto start = std::chrono::steady_clock::now();
      const uint32_t count = Channel().Read(buffer);
      buffer[sizeof buffer - 1] = '\0';
      return Timed("read", count, start) + " " + buffer;
    }
    if (command == "close-channel") {
      channel_.reset();
      return "closed";
    }
    return "unknown " + command;
  }

 private:
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
  std::string Timed(const char* word, uint32_t count, std::chrono::steady_clock::time_point start) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return std::string(word) + " " + std::to_string(count) + " " + std::to_string(took.count());
  }

  std::unique_ptr<SharedMemoryChannel> channel_;
  std::unique_ptr<NamedMutexLock> channelLock_;
};

}  // namespace

int main() {
  Helper helper;
  std::string line;
  while (std::getline(std::cin, line)) {
    const size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string argument = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (command == "exit") break;
    std::cout << helper.Run(command, argument) << std::endl;
  }
  return 0;
}
