// The stored session against another local user: the session file and the
// shared-memory block are the owner's alone, and what another user plants in
// their place is neither believed nor written through. The other user is a
// real unprivileged child process; the test itself runs as root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "client/named_mutex_lock.h"
#include "client/shared_memory_channel.h"
#include "client/v_client.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "platform/named_mutex.h"
#include "platform/posix/named_objects.h"
#include "platform/process.h"
#include "platform/sys_error.h"
#include "tests/client/session_test_root.h"
#include "tests/support/unprivileged.h"

namespace {

using VendraClient::SharedMemoryChannel;
using VendraClient::VClient;
using VendraTest::ReadTextFile;
using VendraTest::RunUnprivileged;
using VendraTest::WriteTextFile;

std::string SessionText(const std::string& user) {
  const long long later = VendraPlatform::NowUnixSeconds() + 3600;
  return VendraText::Format(
      "{\"username\":\"%s\",\"refresh_token\":{\"access_token\":\"R-%s\",\"expires_at\":%lld}}",
      user.c_str(), user.c_str(), later);
}

// The user name a fresh client takes from the stored session, seen in what
// it saves back (empty when it believed nothing).
std::string StoredUser(const std::string& file) {
  VClient client;
  client.LoadSession();
  if (!client.SaveSession()) return "(not saved)";
  const std::string text = ReadTextFile(file);
  const size_t at = text.find("\"username\":\"");
  if (at == std::string::npos) return "";
  const size_t from = at + 12;
  return text.substr(from, text.find('"', from) - from);
}

class SessionSecretsTest : public VendraTest::MachineRootTest {
 protected:
  void SetUp() override {
    if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to run a second user";
    MachineRootTest::SetUp();
    client_ = std::make_unique<VClient>();
    std::u16string path;
    client_->GetDataPath(u"localStorage.json", path);  // makes the data folder
    file_ = VendraText::Utf16ToUtf8(path);
  }
  void TearDown() override {
    client_.reset();
    ::unsetenv("SUDO_UID");
    MachineRootTest::TearDown();
  }
  // Signs in as ada in memory and saves.
  bool SaveAda() {
    WriteTextFile(file_, SessionText("ada"));
    if (!client_->LoadSession()) return false;
    ::unlink(file_.c_str());
    return client_->SaveSession();
  }

  std::unique_ptr<VClient> client_;
  std::string file_;
};

TEST_F(SessionSecretsTest, SavedSessionIsReadableByItsOwnerOnly) {
  ASSERT_TRUE(SaveAda());
  struct stat st;
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_uid, 0u);
  const std::string path = file_;
  EXPECT_EQ(RunUnprivileged([&path] { return ::open(path.c_str(), O_RDONLY) < 0 ? 0 : 1; }), 0);
  // A file saved before secrets were kept private stops being readable by
  // everyone as soon as it is read.
  ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);
  VClient reader;
  reader.LoadSession();
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// What another user may put where the session file goes: a file of theirs,
// or a link to a file of theirs (through which a write would land in it).
// Root neither believes it nor writes into it, and its own save replaces it.
TEST_F(SessionSecretsTest, PlantedSessionFileIsNeitherReadNorWrittenThrough) {
  const std::string planted = SessionText("mallory");
  // In the data folder, where every user may add files.
  const std::string decoy = file_.substr(0, file_.find_last_of('/')) + "/decoy.json";
  for (const bool asLink : {false, true}) {
    SCOPED_TRACE(asLink ? "link to the other user's file" : "the other user's file");
    ::unlink(file_.c_str());
    const std::string path = file_;
    ASSERT_EQ(RunUnprivileged([&] {
                const std::string target = asLink ? decoy : path;
                ::unlink(target.c_str());
                const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
                if (fd < 0 || ::fchmod(fd, 0666) != 0) return 1;
                const bool wrote = ::write(fd, planted.data(), planted.size()) ==
                                   static_cast<ssize_t>(planted.size());
                ::close(fd);
                if (asLink && ::symlink(decoy.c_str(), path.c_str()) != 0) return 3;
                return wrote ? 0 : 2;
              }),
              0);
    EXPECT_EQ(StoredUser(file_), "");
    if (asLink) {
      EXPECT_EQ(ReadTextFile(decoy), planted);
    }
    struct stat st;
    ASSERT_EQ(::lstat(file_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

// Another user makes the block first, private to themselves, keeps it open
// and waits for the token root writes into it.
TEST_F(SessionSecretsTest, PlantedBlockNeverReceivesTheToken) {
  const std::string path =
      VendraPlatform::Posix::NamedObjectPath(u"Global::Vendra Software/VC1", "shm");
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  const pid_t spy = ::fork();
  ASSERT_GE(spy, 0);
  if (spy == 0) {
    const int code = RunUnprivileged([&] {
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
      if (fd < 0 || ::ftruncate(fd, SharedMemoryChannel::kSize) != 0) return 1;
      [[maybe_unused]] ssize_t w = ::write(ready[1], "r", 1);
      char c;
      if (::read(done[0], &c, 1) != 1) return 2;
      char seen[SharedMemoryChannel::kSize] = {};
      if (::pread(fd, seen, sizeof seen, 0) != static_cast<ssize_t>(sizeof seen)) return 3;
      for (const char byte : seen)
        if (byte != 0) return 4;
      return 0;
    });
    ::_exit(code);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  SharedMemoryChannel channel;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(channel.Write("access-token", 13), 0u);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Open/CreateFileMapping failed, errs=5 and 5\r\n");
  ASSERT_EQ(::write(done[1], "d", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(spy, &status, 0), spy);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (const int fd : {ready[0], ready[1], done[0], done[1]}) ::close(fd);
}

// Run through sudo, root keeps the session of the user who invoked it: the
// file it saves is theirs (still private), so their own programs share it,
// and a file of theirs is believed. Any other user's stays foreign.
TEST_F(SessionSecretsTest, BehindSudoTheSessionIsTheInvokingUsers) {
  const std::string invoker = std::to_string(VendraTest::UnprivilegedUid());
  ::setenv("SUDO_UID", invoker.c_str(), 1);
  ASSERT_TRUE(SaveAda());
  struct stat st;
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, VendraTest::UnprivilegedUid());
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string path = file_;
  EXPECT_EQ(RunUnprivileged([&path] { return StoredUser(path) == "ada" ? 0 : 1; }), 0);
  const std::string theirs = SessionText("bea");
  ASSERT_EQ(RunUnprivileged([&] {
              WriteTextFile(path + ".new", theirs);
              return ::rename((path + ".new").c_str(), path.c_str()) == 0 ? 0 : 1;
            }),
            0);
  ::setenv("SUDO_UID", std::to_string(VendraTest::UnprivilegedUid() + 1).c_str(), 1);
  EXPECT_EQ(StoredUser(file_), "");
  ASSERT_EQ(RunUnprivileged([&] {
              WriteTextFile(path + ".new", theirs);
              return ::rename((path + ".new").c_str(), path.c_str()) == 0 ? 0 : 1;
            }),
            1);  // the file is root's again: the invoker may not replace it
  ::setenv("SUDO_UID", invoker.c_str(), 1);
  ::unlink(file_.c_str());
  ASSERT_EQ(RunUnprivileged([&] {
              WriteTextFile(path, theirs);
              return 0;
            }),
            0);
  EXPECT_EQ(StoredUser(file_), "bea");
}

}  // namespace
