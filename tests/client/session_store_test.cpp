// localStorage.json and the channel as the client loads and saves them, the
// device identity and the device name.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/device_identity.h"
#include "client/shared_memory_channel.h"
#include "client/token_record.h"
#include "client/v_client.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "json/parser.h"
#include "platform/process.h"
#include "tests/client/helper_process.h"
#include "tests/client/session_test_root.h"

namespace {

using VendraClient::SharedMemoryChannel;
using VendraClient::TokenRecord;
using VendraClient::VClient;
using VendraTest::ReadTextFile;
using VendraTest::WriteTextFile;

int64_t Now() { return VendraPlatform::NowUnixSeconds(); }

class SessionStoreTest : public VendraTest::MachineRootTest {
 protected:
  std::string SessionFile() {
    std::u16string path;
    client_->GetDataPath(u"localStorage.json", path);
    return VendraText::Utf16ToUtf8(path);
  }
  void SetUp() override {
    MachineRootTest::SetUp();
    client_ = std::make_unique<VClient>();
  }
  void TearDown() override {
    client_.reset();
    MachineRootTest::TearDown();
  }
  // The channel's access token as another program reads it.
  std::string ChannelText() {
    SharedMemoryChannel channel;
    char buffer[SharedMemoryChannel::kSize] = {};
    channel.Read(buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
  }

  std::unique_ptr<VClient> client_;
};

TEST_F(SessionStoreTest, SaveWritesTheKnownMembersInOrderIndented) {
  const int64_t later = Now() + 3600;
  WriteTextFile(SessionFile(),
                VendraText::Format("\xEF\xBB\xBF{\"local_token\":{\"access_token\":\"L\",\"expires_at\":%lld},"
                                   "\"unknown\":1,\"refresh_token\":{\"access_token\":\"R\",\"expires_at\":%lld},"
                                   "\"username\":\"ada\"}",
                                   static_cast<long long>(later), static_cast<long long>(later)));
  ASSERT_TRUE(client_->LoadSession());
  ASSERT_TRUE(client_->SaveSession());
  const std::string expiry = std::to_string(later);
  EXPECT_EQ(ReadTextFile(SessionFile()),
            "{\n  \"username\":\"ada\",\n  \"refresh_token\":{\n    \"access_token\":\"R\",\n"
            "    \"expires_at\":" + expiry + "\n  },\n  \"local_token\":{\n    \"access_token\":\"L\",\n"
            "    \"expires_at\":" + expiry + "\n  }\n}");
}

TEST_F(SessionStoreTest, ExpiredAndUnknownExpiriesAreNotSaved) {
  WriteTextFile(SessionFile(),
                VendraText::Format("{\"username\":\"ada\",\"refresh_token\":{\"access_token\":\"R\",\"expires_at\":%lld},"
                                   "\"local_token\":{\"access_token\":\"L\",\"expires_at\":0}}",
                                   static_cast<long long>(Now() - 5)));
  ASSERT_TRUE(client_->LoadSession());
  ASSERT_TRUE(client_->SaveSession());
  EXPECT_EQ(ReadTextFile(SessionFile()), "{\n  \"username\":\"ada\"\n}");
}

TEST_F(SessionStoreTest, EmptySessionIsAnEmptyObject) {
  ASSERT_TRUE(client_->LoadSession());
  ASSERT_TRUE(client_->SaveSession());
  Vendra::RefPtr<VendraJSON::VSJObject> saved;
  std::u16string error;
  ASSERT_TRUE(VendraJSON::ParseObjectA(ReadTextFile(SessionFile()).c_str(), saved.Receive(), error));
  EXPECT_EQ(saved->Count(), 0u);
}

TEST_F(SessionStoreTest, DamagedFileLeavesTheSessionInMemory) {
  const int64_t later = Now() + 3600;
  WriteTextFile(SessionFile(),
                VendraText::Format("{\"username\":\"ada\",\"refresh_token\":{\"access_token\":\"R\",\"expires_at\":%lld}}",
                                   static_cast<long long>(later)));
  ASSERT_TRUE(client_->LoadSession());
  ASSERT_TRUE(client_->SaveSession());
  const std::string saved = ReadTextFile(SessionFile());
  for (const char* damaged : {"[1,2]", "{\"username\":", "", "not json"}) {
    WriteTextFile(SessionFile(), damaged);
    client_->LoadSession();
    ASSERT_TRUE(client_->SaveSession());
    EXPECT_EQ(ReadTextFile(SessionFile()), saved) << damaged;
  }
}

TEST_F(SessionStoreTest, AccessTokenGoesToTheChannelAndNeverToTheFile) {
  SharedMemoryChannel otherProgram;
  TokenRecord access(&otherProgram);
  access.Set("ACCESS-FROM-ELSEWHERE", Now() + 600);
  ASSERT_TRUE(access.SaveToChannel());
  ASSERT_TRUE(client_->LoadSession());
  // Cleared in the channel by someone else, then saved from memory again.
  TokenRecord cleared(&otherProgram);
  ASSERT_TRUE(cleared.SaveToChannel());
  ASSERT_TRUE(client_->SaveSession());
  EXPECT_EQ(ReadTextFile(SessionFile()).find("ACCESS-FROM-ELSEWHERE"), std::string::npos);
  EXPECT_EQ(ChannelText(),
            "{\"access_token\":\"ACCESS-FROM-ELSEWHERE\",\"expires_at\":" +
                std::to_string(access.expiry()) + "}");
}

// A folder in the file's place can never be replaced by a save: loading
// says so, naming it, and so does the sign-in, instead of asking for a
// sign-in that could not be kept.
TEST_F(SessionStoreTest, UnwritableFileIsReportedAndTheChannelStillWritten) {
  ASSERT_TRUE(std::filesystem::create_directory(SessionFile()));
  EXPECT_FALSE(client_->SaveSession());
  EXPECT_EQ(ChannelText(), "{\"access_token\":\"\",\"expires_at\":0}");
  std::u16string blocked;
  EXPECT_FALSE(client_->LoadSession(&blocked));
  const std::string said = VendraText::Utf16ToUtf8(blocked);
  EXPECT_EQ(said.find(SessionFile() + " is not a plain file"), 0u) << said;
  std::u16string error;
  EXPECT_EQ(client_->EnsureLogin(error), VendraClient::eVClientResult::Failed);
  EXPECT_EQ(error, blocked);
  // Nothing half-made is left in its place.
  EXPECT_TRUE(std::filesystem::remove(SessionFile()));
  EXPECT_TRUE(client_->LoadSession(&blocked));
}

TEST_F(SessionStoreTest, EightProcessesSavingLeaveACompleteFileAfterEveryStep) {
  const int64_t later = Now() + 3600;
  WriteTextFile(SessionFile(),
                VendraText::Format("{\"username\":\"%s\",\"refresh_token\":{\"access_token\":\"%s\",\"expires_at\":%lld},"
                                   "\"local_token\":{\"access_token\":\"%s\",\"expires_at\":%lld}}",
                                   std::string(300, 'u').c_str(), std::string(500, 'r').c_str(),
                                   static_cast<long long>(later), std::string(500, 'l').c_str(),
                                   static_cast<long long>(later)));
  std::vector<std::unique_ptr<VendraTest::HelperProcess>> helpers;
  for (int i = 0; i < 8; ++i) helpers.push_back(std::make_unique<VendraTest::HelperProcess>());
  for (auto& helper : helpers) ASSERT_TRUE(helper->Send("save-loop 200"));
  for (auto& helper : helpers) EXPECT_EQ(helper->ReadLine(), "saved 200 bad 0");
  for (auto& helper : helpers) EXPECT_EQ(helper->Finish(), 0);
  // Only the file itself is left in the folder: no replacement halfway.
  std::u16string folder;
  client_->GetDataPath(u"", folder);
  int entries = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(VendraText::Utf16ToUtf8(folder))) {
    ++entries;
    EXPECT_EQ(entry.path().filename().string(), "localStorage.json");
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(SessionStoreTest, DeviceIdentityIsTheDigestOfTheMachineIdentifier) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows keeps the machine's identifier in the registry, which the machine "
                  "root does not move";
#endif
  std::filesystem::create_directories(root_.Sub("etc"));
  EXPECT_EQ(VendraClient::ComputeDeviceIdentity(), "");
  WriteTextFile(root_.Sub("etc/machine-id"), "abc\n");
  EXPECT_EQ(VendraClient::ComputeDeviceIdentity(), "900150983cd24fb0d6963f7d28e17f72");
  WriteTextFile(root_.Sub("etc/machine-id"), "\n");
  EXPECT_EQ(VendraClient::ComputeDeviceIdentity(), "");
}

TEST_F(SessionStoreTest, DeviceNameIsTheHostName) {
#ifdef _WIN32
  const char* computer = std::getenv("COMPUTERNAME");
  ASSERT_NE(computer, nullptr);
  const std::string host = computer;
#else
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
#endif
  std::u16string name;
  std::u16string error;
  EXPECT_EQ(client_->GetDeviceName(name, error), VendraClient::eVClientResult::Success);
  EXPECT_EQ(VendraText::Utf16ToUtf8(name), std::string(host).substr(0, 63));
}

TEST_F(SessionStoreTest, DataPathOfNothingIsTheDataFolder) {
  std::u16string folder;
  std::u16string file;
  EXPECT_TRUE(client_->GetDataPath(u"", folder));
  EXPECT_TRUE(client_->GetDataPath(u"localStorage.json", file));
#ifdef _WIN32
  EXPECT_EQ(file, folder + u"\\localStorage.json");
#else
  EXPECT_EQ(file, folder + u"/localStorage.json");
#endif
}

}  // namespace
