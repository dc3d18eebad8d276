#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "install/v_build_client.h"
#include "json/array.h"
#include "json/files.h"
#include "json/object.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The product in its install folder as the package manager left it, checked
// against the build's own file list: nothing missing, nothing different.
size_t FilesNotMatching(const std::string& installFolder, const std::string& buildJson) {
  Vendra::RefPtr<VendraJSON::VSJValue> build;
  std::u16string error;
  if (!VendraJSON::LoadFile(VendraText::Utf8ToUtf16(buildJson), build.Receive(), error))
    return 999;
  VendraClient::VBuildClient buildClient;
  Vendra::RefPtr<VendraJSON::VSJArray> differing;
  if (buildClient.GetBuildFilesToInstall(static_cast<VendraJSON::VSJObject*>(build.get()),
                                         VendraText::Utf8ToUtf16(installFolder),
                                         differing.Receive(), error) !=
      VendraClient::eVClientResult::Success)
    return 998;
  return differing->Count();
}

// A machine of its own with the installer in an empty install folder, the
// service with the product's catalogue and the package manager as its
// utility, and a session signed in and authorised earlier on this machine.
class InstallRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("VENDRA_MACHINE_ROOT", machine_.path().c_str(), 1);
    WriteServiceFile(machine_.path(), "etc/machine-id", "00112233445566778899aabbccddeeff\n");
    // The publisher's throw-away key signs the build; the package manager is
    // pinned to it through its configuration.
    ASSERT_EQ(RunCommand(Quoted(VENDRA_CATALOGUE_PROGRAM) + " keygen " + Quoted(key_) + " > " +
                         Quoted(folder_.Sub("key.txt"))),
              0);
    const std::string keyText = ReadFile(folder_.Sub("key.txt"));
    WriteTextFile(folder_.Sub("config.json"), R"({"publisher_keys": [")" +
                                                  keyText.substr(11, keyText.find('\n') - 11) +
                                                  "\"]}");
    ::setenv("VENDRA_BUILD_CONFIG", folder_.Sub("config.json").c_str(), 1);
    const std::string product = folder_.Sub("product");
    ASSERT_EQ(RunCommand(Quoted(VENDRA_DEMO_PRODUCT_SCRIPT) + " " + Quoted(product) + " 2.5.1"), 0);
    ASSERT_EQ(RunCommand(Quoted(VENDRA_CATALOGUE_PROGRAM) + " publish --key " + Quoted(key_) +
                         " --root " + Quoted(serviceRoot_.path()) +
                         " --product tdy --branch live --version 2.5.1 --build-list TDY-UPLINK " +
                         Quoted(product) + " > /dev/null"),
              0);
    ASSERT_EQ(RunCommand(Quoted(VENDRA_CATALOGUE_PROGRAM) + " utility --root " +
                         Quoted(serviceRoot_.path()) + " " + Quoted(VENDRA_BUILD_PROGRAM) +
                         " > /dev/null"),
              0);
    service_ = std::make_unique<ServiceProcess>(serviceRoot_.path());
    ASSERT_TRUE(service_->ok());
    ::setenv("VENDRA_SERVICE_URL", service_->url().c_str(), 1);
    ::setenv("VENDRA_CA_FILE", service_->caFile().c_str(), 1);
    std::string failure;
    ASSERT_TRUE(StoreSignedInSession(*service_, session_, failure)) << failure;
    installFolder_ = folder_.Sub("Tandory");
    fs::create_directories(installFolder_);
    fs::copy_file(VENDRA_INSTALLER_PROGRAM, installFolder_ + "/TandoryInstaller");
    dataFolder_ = machine_.path() + "/ProgramData/Vendra Software";
  }
  void TearDown() override {
    ::unsetenv("VENDRA_SERVICE_URL");
    ::unsetenv("VENDRA_CA_FILE");
    ::unsetenv("VENDRA_MACHINE_ROOT");
    ::unsetenv("VENDRA_BUILD_CONFIG");
  }

  // Runs the installer; its output and the package manager's go to log_.
  int RunInstaller() {
    return RunCommand(Quoted(installFolder_ + "/TandoryInstaller") + " < /dev/null >> " + Quoted(log_) +
               " 2>&1");
  }

  // The package manager goes on alone after the hand-over: wait for its word.
  bool WaitForPackageManager(const std::string& word) {
    for (int i = 0; i < 1200; ++i) {
      if (ReadFile(log_).find(word) != std::string::npos) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  TempFolder machine_;
  TempFolder serviceRoot_;
  TempFolder folder_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::string installFolder_;
  std::string dataFolder_;
  std::string log_ = folder_.Sub("run.log");
  std::string key_ = folder_.Sub("publisher.key");
};

TEST_F(InstallRunTest, TheInstallerEndsWithTheProductInstalledByThePackageManager) {
  ASSERT_EQ(RunInstaller(), 0);
  ASSERT_TRUE(WaitForPackageManager("Installed tdy live 2.5.1")) << ReadFile(log_);
  const std::string log = ReadFile(log_);
  EXPECT_EQ(log.find("failed"), std::string::npos) << log;
  EXPECT_NE(log.find("downloaded data/assets.bin"), std::string::npos) << log;

  // The utility went where the installer runs it from, and runs.
  EXPECT_EQ(ReadFile(dataFolder_ + "/utils/VendraBuild.exe"), ReadFile(VENDRA_BUILD_PROGRAM));
  // The product: every file of the live build, as published.
  EXPECT_EQ(FilesNotMatching(installFolder_,
                             dataFolder_ + "/downloads/tdy/live/2.5.1/build.json"),
            0u);
  EXPECT_EQ(ReadFile(installFolder_ + "/data/welcome.txt"), "Welcome to Tandory 2.5.1.\n");
  EXPECT_EQ(RunCommand(Quoted(installFolder_ + "/Tandory.exe") + " > " + Quoted(folder_.Sub("ran")) +
                " 2>&1"),
            0);
  EXPECT_EQ(ReadFile(folder_.Sub("ran")), "Tandory 2.5.1 is running\n");

  // One sign-in of the session and one pass over the catalogue.
  EXPECT_EQ(service_->CountRequests("vclient/login"), 1) << "only the stored session's";
  EXPECT_EQ(service_->CountRequests("vclient/builds"), 1);
  EXPECT_EQ(service_->CountRequests("vclient/build"), 1);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 4);

  // A second run finds the utility and the product current: nothing is
  // downloaded again.
  ASSERT_EQ(RunInstaller(), 0);
  ASSERT_TRUE(WaitForPackageManager("Installing 0 file(s)")) << ReadFile(log_);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 4);
}

TEST_F(InstallRunTest, TheEntrysModifyRepairsAndItsUninstallRemovesTheProductAndTheEntry) {
  ASSERT_EQ(RunInstaller(), 0);
  ASSERT_TRUE(WaitForPackageManager("Installed tdy live 2.5.1")) << ReadFile(log_);
  const std::string packageManager = Quoted(dataFolder_ + "/utils/VendraBuild.exe");

  // A damaged install is repaired from the downloads kept in the data folder.
  fs::remove(installFolder_ + "/data/welcome.txt");
  std::ofstream(installFolder_ + "/Tandory.exe", std::ios::app) << "tampered";
  ASSERT_EQ(RunCommand(packageManager + " modify tandory " + Quoted(installFolder_) + " >> " +
                       Quoted(log_) + " 2>&1"),
            0)
      << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("Installing 2 file(s)"), std::string::npos) << ReadFile(log_);
  EXPECT_EQ(ReadFile(installFolder_ + "/data/welcome.txt"), "Welcome to Tandory 2.5.1.\n");
  EXPECT_EQ(service_->CountRequests("vclient/download"), 4) << "nothing fetched again";

  const std::string entry = machine_.path() +
                            "/Registry/HKEY_LOCAL_MACHINE/k_software/k_wow6432node/k_microsoft/"
                            "k_windows/k_currentversion/k_uninstall/k_tandory";
  const std::string uninstall = ReadFile(entry + "/v_uninstallstring");
  ASSERT_NE(uninstall.find("uninstall tandory"), std::string::npos) << uninstall;

  ASSERT_EQ(RunCommand(packageManager + " uninstall tandory " +
                Quoted(installFolder_) + " >> " + Quoted(log_) + " 2>&1"),
            0)
      << ReadFile(log_);
  EXPECT_FALSE(fs::exists(installFolder_ + "/Tandory.exe"));
  EXPECT_FALSE(fs::exists(installFolder_ + "/data/assets.bin"));
  EXPECT_TRUE(fs::exists(installFolder_ + "/TandoryInstaller")) << "not the package's file";
  EXPECT_FALSE(fs::exists(entry + "/v_uninstallstring"));
  EXPECT_FALSE(fs::exists(entry + "/v_displayname"));
}

// Any folder a release engineer publishes comes back byte for byte: nested
// folders, empty files and names beyond ASCII included.
TEST_F(InstallRunTest, APublishedFolderIsInstalledByteForByte) {
  const std::string source = folder_.Sub("release");
  fs::create_directories(source + "/data/levels/one");
  WriteServiceFile(source, "Tandory.exe", "#!/bin/sh\necho ok\n");
  WriteServiceFile(source, "data/levels/one/map.bin", std::string(300000, '\x7f'));
  WriteServiceFile(source, "data/empty.cfg", "");
  WriteServiceFile(source, "data/Grüße – 日本.txt", "non-ASCII name");
  ASSERT_EQ(RunCommand(Quoted(VENDRA_CATALOGUE_PROGRAM) + " publish --key " + Quoted(key_) +
                       " --root " + Quoted(serviceRoot_.path()) +
                       " --product tdy --branch live --version 3.0 " + Quoted(source) +
                       " >> " + Quoted(log_) + " 2>&1"),
            0)
      << ReadFile(log_);
  const std::string target = folder_.Sub("installed");
  ASSERT_EQ(RunCommand(Quoted(VENDRA_BUILD_PROGRAM) + " install tdy live 3.0 " + Quoted(target) +
                       " Tandory.exe < /dev/null >> " + Quoted(log_) + " 2>&1"),
            0)
      << ReadFile(log_);
  size_t compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(source)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), source);
    EXPECT_EQ(ReadFile((fs::path(target) / relative).string()), ReadFile(entry.path().string()))
        << relative;
    ++compared;
  }
  EXPECT_EQ(compared, 4u);

  // What status tells: complete; a file lost as an interrupted run leaves
  // it; nothing installed in another folder.
  const auto status = [&](const std::string& folder) {
    RunCommand(Quoted(VENDRA_BUILD_PROGRAM) + " --json status " + Quoted(folder) + " > " +
               Quoted(log_));
    return ReadFile(log_);
  };
  EXPECT_NE(status(target).find(R"("state":"complete","product":"tdy","branch":"live","version":"3.0")"),
            std::string::npos)
      << ReadFile(log_);
  fs::remove(target + "/data/levels/one/map.bin");
  EXPECT_NE(status(target).find(R"("state":"incomplete")"), std::string::npos) << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find(R"("files_differing":1)"), std::string::npos) << ReadFile(log_);
  EXPECT_NE(status(folder_.Sub("elsewhere")).find(R"("state":"empty")"), std::string::npos)
      << ReadFile(log_);
}

// The run's log: timestamped steps and the path of every request, never a
// password or a token, even though this run renews its session; by default in
// the data folder; a link planted where --log points is not written through.
TEST_F(InstallRunTest, TheLogHoldsStepsAndRequestPathsButNoSecrets) {
  session_.channel.reset();  // the access token goes: the run renews it
  const std::string logFile = folder_.Sub("admin.log");
  const std::string install = Quoted(VENDRA_BUILD_PROGRAM) + " --non-interactive";
  const std::string args = " install tdy live 2.5.1 " + Quoted(folder_.Sub("logged")) +
                           " Tandory.exe < /dev/null > " + Quoted(log_) + " 2>&1";
  ASSERT_EQ(RunCommand(install + " --log " + Quoted(logFile) + args), 0) << ReadFile(log_);
  const std::string text = ReadFile(logFile);
  for (const char* expected :
       {"vclient/refresh: HTTP 200", "vclient/build: HTTP 200", "vclient/download: HTTP 2",
        "started: VendraBuild install tdy live 2.5.1", "downloading", "installing",
        "finished with exit code 0"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.size() > 24 && line[4] == '-' && line[10] == 'T' && line[23] == 'Z')
        << line;
  for (const std::string& secret : {session_.password, session_.totpSecret, session_.accessToken,
                                    session_.refreshToken, session_.localToken}) {
    ASSERT_GE(secret.size(), 8u);
    EXPECT_EQ(text.find(secret.substr(0, 8)), std::string::npos) << text;
  }

  ASSERT_EQ(RunCommand(install + args), 0) << ReadFile(log_);
  EXPECT_NE(ReadFile(dataFolder_ + "/logs/VendraBuild.log").find("vclient/build: HTTP 200"),
            std::string::npos);

  const std::string victim = folder_.Sub("victim");
  WriteServiceFile(folder_.path(), "victim", "keep");
  fs::create_symlink(victim, folder_.Sub("planted.log"));
  EXPECT_EQ(RunCommand(install + " --log " + Quoted(folder_.Sub("planted.log")) + args), 1);
  EXPECT_NE(ReadFile(log_).find("cannot open the log"), std::string::npos) << ReadFile(log_);
  EXPECT_EQ(ReadFile(victim), "keep");
}

// Unattended runs: with a stored session (here one whose access token has
// lapsed, so it is renewed) nothing is asked; without one, or without the
// service, the run ends at once and says why and what to do, even with an
// open input that a prompt would wait on forever.
TEST_F(InstallRunTest, UnattendedRunsNeverAskAndSayWhatStandsInTheWay) {
  session_.channel.reset();  // the access token goes; the refresh token stays
  const std::string target = Quoted(folder_.Sub("unattended"));
  const std::string install = Quoted(VENDRA_BUILD_PROGRAM) +
                              " --non-interactive install tdy live 2.5.1 " + target +
                              " Tandory.exe";
  // The input is a pipe this test holds open and never writes to.
  const std::string input = folder_.Sub("input");
  ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
  const int held = ::open(input.c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  const auto run = [&](const std::string& environment) {
    return RunCommand(environment + " " + install + " < " + Quoted(input) + " > " +
                      Quoted(log_) + " 2>&1");
  };
  const auto started = std::chrono::steady_clock::now();

  EXPECT_EQ(run("VENDRA_SERVICE_URL=https://127.0.0.1:1/"), 1) << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("cannot reach the service (curl error"), std::string::npos)
      << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("proxy"), std::string::npos);
  EXPECT_EQ(ReadFile(log_).find("Cancel"), std::string::npos) << ReadFile(log_);

  EXPECT_EQ(run(""), 0) << ReadFile(log_);
  EXPECT_EQ(ReadFile(log_).find("Username"), std::string::npos) << ReadFile(log_);

  fs::remove_all(dataFolder_ + "/localStorage.json");
  EXPECT_EQ(run(""), 1) << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("Sign in on this machine first"), std::string::npos)
      << ReadFile(log_);
  EXPECT_EQ(ReadFile(log_).find("Username:"), std::string::npos) << ReadFile(log_);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 60s) << "nothing waited for input";
  ::close(held);
}

}  // namespace
}  // namespace VendraTest
