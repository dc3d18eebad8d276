// POSIX layer only.
#include "platform/crash_handover.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/command_line.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/named_objects.h"
#include "platform/posix/posix_text.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

constexpr mode_t kPrivateMode = 0600;
constexpr char kWindowKind[] = "window";
constexpr unsigned char kHandled = 1;

// What travels with the block's descriptor: the message number and the
// length of the bytes in the block.
struct MessageHeader {
  uint32_t message;
  uint32_t reserved;
  uint64_t size;
};

uint32_t LastError() { return Posix::SysErrorFromErrno(errno); }

void CloseDescriptor(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The socket file that stands for a window of that class and title.
std::string WindowPath(std::u16string_view windowClass, std::u16string_view title) {
  std::u16string name(windowClass);
  name += u'-';
  name += title;
  return Posix::NamedObjectPath(name, kWindowKind);
}

// A socket address for a path. A path too long for sun_path (a relocated
// machine root deep in the tree) is reached through a descriptor of its
// folder, as /proc/self/fd/N/name.
class SocketAddress {
 public:
  explicit SocketAddress(const std::string& path) {
    address_.sun_family = AF_UNIX;
    std::string reachable = path;
    if (path.size() >= sizeof address_.sun_path) {
      const size_t cut = path.find_last_of('/');
      folder_ = ::open(path.substr(0, cut).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (folder_ < 0) return;
      reachable = "/proc/self/fd/" + std::to_string(folder_) + path.substr(cut);
      if (reachable.size() >= sizeof address_.sun_path) return;
    }
    std::memcpy(address_.sun_path, reachable.c_str(), reachable.size() + 1);
    length_ = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + reachable.size() + 1);
  }
  ~SocketAddress() { CloseDescriptor(folder_); }
  SocketAddress(const SocketAddress&) = delete;
  SocketAddress& operator=(const SocketAddress&) = delete;

  bool ok() const { return length_ != 0; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
  socklen_t length() const { return length_; }
  const char* path() const { return address_.sun_path; }

 private:
  sockaddr_un address_{};
  socklen_t length_ = 0;
  int folder_ = -1;
};

// The user on the other end of a connected socket.
bool PeerIsUser(int socket, uid_t user) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
  return credentials.uid == user;
}

// Waits until fd is readable or the deadline passes; false on time-out.
bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t wrote = ::write(fd, bytes, size);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += wrote;
    size -= static_cast<size_t>(wrote);
  }
  return true;
}

// Starts the program as a grandchild, so that it goes on after this process
// and leaves no child to be waited for. A pipe closed on exec stays empty on
// success and carries errno on failure.
uint32_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipefd[2];
  if (::pipe2(pipefd, O_CLOEXEC) != 0) return LastError();
  const pid_t child = ::fork();
  if (child < 0) {
    const uint32_t error = LastError();
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    return error;
  }
  if (child == 0) {
    ::close(pipefd[0]);
    if (::fork() != 0) ::_exit(0);
    ::execv(argv[0], argv.data());
    const int err = errno;
    [[maybe_unused]] const ssize_t w = ::write(pipefd[1], &err, sizeof err);
    ::_exit(127);
  }
  ::close(pipefd[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t got;
  do got = ::read(pipefd[0], &err, sizeof err);
  while (got < 0 && errno == EINTR);
  ::close(pipefd[0]);
  return got == static_cast<ssize_t>(sizeof err) ? Posix::SysErrorFromErrno(err) : SysError::kSuccess;
}

class PosixCrashHandover final : public ICrashHandover {
 public:
  ~PosixCrashHandover() override {
    CloseDescriptor(receiver_);
    Release();
  }

  uint32_t Start(std::u16string_view commandLine) override {
    const std::vector<std::u16string> words = SplitCommandLine(commandLine);
    if (words.empty() || words[0].empty()) return SysError::kFileNotFound;
    std::vector<std::string> args;
    args.push_back(Posix::NativePath(words[0]));
    for (size_t i = 1; i < words.size(); ++i) args.push_back(Posix::Native(words[i]));
    return Spawn(args);
  }

  uint32_t Place(const void* data, size_t size) override {
    Release();
    block_ = ::memfd_create("vendra-crash-report", MFD_CLOEXEC);
    if (block_ < 0) return LastError();
    size_ = size;
    if (::fchmod(block_, kPrivateMode) != 0 || !WriteAll(block_, data, size)) return LastError();
    return SysError::kSuccess;
  }

  bool FindReceiver(std::u16string_view windowClass, std::u16string_view title) override {
    CloseDescriptor(receiver_);
    const SocketAddress address(WindowPath(windowClass, title));
    if (!address.ok()) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A window of another user, planted under the expected name, is not the
    // program this process started: the report must not go there.
    if (::connect(fd, address.get(), address.length()) != 0 || !PeerIsUser(fd, ::geteuid())) {
      ::close(fd);
      return false;
    }
    receiver_ = fd;
    return true;
  }

  uint32_t Deliver(uint32_t message) override {
    if (receiver_ < 0 || block_ < 0) return SysError::kInvalidParameter;
    MessageHeader header{message, 0, size_};
    iovec part{&header, sizeof header};
    char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr out{};
    out.msg_iov = &part;
    out.msg_iovlen = 1;
    out.msg_control = control;
    out.msg_controllen = sizeof control;
    cmsghdr* rights = CMSG_FIRSTHDR(&out);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(rights), &block_, sizeof(int));
    ssize_t sent;
    do sent = ::sendmsg(receiver_, &out, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(sizeof header)) {
      CloseDescriptor(receiver_);
      return SysError::kBrokenPipe;
    }
    unsigned char answer = 0;
    ssize_t got;
    do got = ::read(receiver_, &answer, 1);
    while (got < 0 && errno == EINTR);
    CloseDescriptor(receiver_);
    return got == 1 && answer == kHandled ? SysError::kSuccess : SysError::kBrokenPipe;
  }

  uint32_t Release() override {
    if (block_ < 0) return SysError::kSuccess;
    const int fd = block_;
    block_ = -1;
    size_ = 0;
    return ::close(fd) == 0 ? SysError::kSuccess : LastError();
  }

 private:
  int block_ = -1;
  uint64_t size_ = 0;
  int receiver_ = -1;
};

class PosixCrashReceiver final : public ICrashReceiver {
 public:
  ~PosixCrashReceiver() override {
    if (listener_ < 0) return;
    ::close(listener_);
    const SocketAddress address(path_);
    if (address.ok()) ::unlink(address.path());
  }

  uint32_t Open(std::u16string_view windowClass, std::u16string_view title) override {
    if (listener_ >= 0) return SysError::kAlreadyExists;
    path_ = WindowPath(windowClass, title);
    const SocketAddress address(path_);
    if (!address.ok()) return SysError::kFilenameTooLong;
    // A socket of this user left behind under the name by a receiver that
    // died is stale; anything else there is not ours to remove.
    struct stat st;
    if (::lstat(address.path(), &st) == 0) {
      if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()) return SysError::kAlreadyExists;
      ::unlink(address.path());
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return LastError();
    if (::bind(fd, address.get(), address.length()) != 0) {
      const uint32_t error = LastError();
      ::close(fd);
      return error;
    }
    if (::chmod(address.path(), kPrivateMode) != 0 || ::listen(fd, 4) != 0) {
      const uint32_t error = LastError();
      ::close(fd);
      ::unlink(address.path());
      return error;
    }
    listener_ = fd;
    return SysError::kSuccess;
  }

  uint32_t Receive(uint32_t message, uint32_t timeoutMs, std::string& bytes) override {
    if (listener_ < 0) return SysError::kInvalidParameter;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (WaitReadable(listener_, deadline)) {
      int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      const bool handled = PeerIsUser(connection, ::geteuid()) &&
                           WaitReadable(connection, deadline) &&
                           ReadMessage(connection, message, bytes);
      if (handled) WriteAll(connection, &kHandled, 1);
      CloseDescriptor(connection);
      if (handled) return SysError::kSuccess;
    }
    return SysError::kTimeout;
  }

 private:
  // Takes the header and the block, and copies the block's bytes while the
  // sender waits for the answer.
  static bool ReadMessage(int connection, uint32_t message, std::string& bytes) {
    MessageHeader header{};
    iovec part{&header, sizeof header};
    char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr in{};
    in.msg_iov = &part;
    in.msg_iovlen = 1;
    in.msg_control = control;
    in.msg_controllen = sizeof control;
    ssize_t got;
    do got = ::recvmsg(connection, &in, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    int block = -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&in); c; c = CMSG_NXTHDR(&in, c))
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS &&
          c->cmsg_len == CMSG_LEN(sizeof(int)))
        std::memcpy(&block, CMSG_DATA(c), sizeof(int));
    bool copied = false;
    struct stat st;
    if (got == static_cast<ssize_t>(sizeof header) && block >= 0 && header.message == message &&
        header.size > 0 && ::fstat(block, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uint64_t>(st.st_size) >= header.size) {
      void* view = ::mmap(nullptr, header.size, PROT_READ, MAP_SHARED, block, 0);
      if (view != MAP_FAILED) {
        bytes.assign(static_cast<const char*>(view), header.size);
        ::munmap(view, header.size);
        copied = true;
      }
    }
    CloseDescriptor(block);
    return copied;
  }

  int listener_ = -1;
  std::string path_;
};

}  // namespace

std::unique_ptr<ICrashHandover> NewCrashHandover() {
  return std::make_unique<PosixCrashHandover>();
}

std::unique_ptr<ICrashReceiver> NewCrashReceiver() {
  return std::make_unique<PosixCrashReceiver>();
}

}  // namespace VendraPlatform
