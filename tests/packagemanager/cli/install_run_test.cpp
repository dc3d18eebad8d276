// The installer and the package manager as programs, on Linux and under Wine:
// the service and the publisher's tools run as Linux programs through the
// shell, the programs under test as this system's own processes.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "install/v_build_client.h"
#include "json/array.h"
#include "json/files.h"
#include "json/object.h"
#include "packagemanager/progress/activity_log.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "tests/support/environment.h"
#include "tests/support/program_run.h"
#include "tests/support/publisher_key.h"
#include "tests/support/service_process.h"
#include "tests/support/shell.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char16_t kEntry[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tandory";

// Paths are UTF-8 here; Windows takes a file name beyond ASCII only wide.
fs::path NativePath(const std::string& utf8) { return fs::path(VendraText::Utf8ToUtf16(utf8)); }

std::string ReadNative(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
std::string ReadFile(const std::string& path) { return ReadNative(NativePath(path)); }

// The publisher's tool, a Linux program on both systems.
int Catalogue(const std::string& arguments) {
  return RunShell(ShellQuoted(VENDRA_CATALOGUE_PROGRAM) + " " + arguments);
}

// A value of the product's uninstall entry; empty when it is not there.
std::u16string EntryValue(const char16_t* name) {
  VendraPlatform::RegistryKey key;
  std::u16string value;
  if (key.OpenForReading(kEntry, VendraPlatform::RegistryView::Default32) == 0)
    key.QueryString(name, value);
  return value;
}

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
    SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    WriteServiceFile(machine_.path(), "etc/machine-id", "00112233445566778899aabbccddeeff\n");
    // The publisher's throw-away key signs the build; the package manager is
    // pinned to it through its configuration. The build carries chunk lists,
    // signed with the rest; a package manager may fetch its ".z" files.
    ASSERT_EQ(Catalogue("keygen " + ShellPath(key_) + " > " + ShellPath(folder_.Sub("key.txt"))),
              0);
    const std::string keyText = ReadFile(folder_.Sub("key.txt"));
    WriteTextFile(folder_.Sub("config.json"), R"({"publisher_keys": [")" +
                                                  keyText.substr(11, keyText.find('\n') - 11) +
                                                  R"("], "build_lists": {"tdy": "TDY-UPLINK"}})");
    SetEnvironment("VENDRA_BUILD_CONFIG", folder_.Sub("config.json"));
    const std::string product = folder_.Sub("product");
    ASSERT_EQ(RunShell("bash " + ShellQuoted(VENDRA_DEMO_PRODUCT_SCRIPT) + " " + ShellPath(product) +
                       " 2.5.1"),
              0);
    ASSERT_EQ(Catalogue("publish --chunks --key " + ShellPath(key_) + " --root " +
                        ShellPath(serviceRoot_.path()) +
                        " --product tdy --branch live --version 2.5.1 --build-list TDY-UPLINK " +
                        ShellPath(product) + " > /dev/null"),
              0);
    // The installer starts the package manager only when the key it was
    // built with signed its manifest.
    ASSERT_EQ(Catalogue("utility --key " + ShellQuoted(PinnedPublisherKeyFile()) + " --root " +
                        ShellPath(serviceRoot_.path()) + " " + ShellPath(VENDRA_BUILD_PROGRAM) +
                        " > /dev/null"),
              0);
    std::string failure;
    ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                                failure))
        << failure;
    installFolder_ = folder_.Sub("Tandory");
    fs::create_directories(installFolder_);
    installer_ = installFolder_ + "/" + ProgramFileName("TandoryInstaller");
    fs::copy_file(VENDRA_INSTALLER_PROGRAM, installer_);
    dataFolder_ = machine_.path() + "/ProgramData/Vendra Software";
  }
  void TearDown() override {
    SetEnvironment("VENDRA_SERVICE_URL", "");
    SetEnvironment("VENDRA_CA_FILE", "");
    SetEnvironment("VENDRA_MACHINE_ROOT", "");
    SetEnvironment("VENDRA_BUILD_CONFIG", "");
  }

  // Runs the installer; its output and the package manager's go to log_.
  int RunInstaller() { return RunProgram({installer_}, {log_}); }

  // Runs the package manager named (the build's own unless given) with the
  // arguments; its output goes to log_.
  int RunPackageManager(const std::vector<std::string>& arguments,
                        const std::string& program = VENDRA_BUILD_PROGRAM) {
    std::vector<std::string> line = {program};
    line.insert(line.end(), arguments.begin(), arguments.end());
    return RunProgram(line, {log_});
  }

  // The package manager goes on alone after the hand-over: wait for its word
  // on the output it shares with the installer or, where the system starts
  // it apart from the installer's output (Windows), in its log.
  std::string PackageManagerWords() {
    return ReadFile(log_) + ReadFile(dataFolder_ + "/logs/VendraBuild.log");
  }
  bool WaitForPackageManager(const std::string& word) {
    for (int i = 0; i < 1200; ++i) {
      if (PackageManagerWords().find(word) != std::string::npos) return true;
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
  std::string installer_;
  std::string dataFolder_;
  std::string log_ = folder_.Sub("run.log");
  std::string key_ = folder_.Sub("publisher.key");
};

TEST_F(InstallRunTest, TheInstallerEndsWithTheProductInstalledByThePackageManager) {
  ASSERT_EQ(RunInstaller(), 0);
  ASSERT_TRUE(WaitForPackageManager("Installed tdy live 2.5.1")) << PackageManagerWords();
  const std::string log = PackageManagerWords();
  EXPECT_EQ(log.find("failed"), std::string::npos) << log;
  EXPECT_NE(log.find(std::string("downloaded data") +
                           static_cast<char>(VendraPlatform::kPathSeparator) + "assets.bin"),
            std::string::npos)
      << log;

  // The utility went where the installer runs it from, and runs.
  EXPECT_EQ(ReadFile(dataFolder_ + "/utils/VendraBuild.exe"), ReadFile(VENDRA_BUILD_PROGRAM));
  // The product: every file of the live build, as published.
  EXPECT_EQ(FilesNotMatching(installFolder_,
                             dataFolder_ + "/downloads/tdy/live/2.5.1/build.json"),
            0u);
  EXPECT_EQ(ReadFile(installFolder_ + "/data/welcome.txt"), "Welcome to Tandory 2.5.1.\n");
  // (the demo program is a shell script, whatever the system)
  EXPECT_EQ(RunShell("sh " + ShellPath(installFolder_ + "/Tandory.exe") + " > " +
                     ShellPath(folder_.Sub("ran")) + " 2>&1"),
            0);
  EXPECT_EQ(ReadFile(folder_.Sub("ran")), "Tandory 2.5.1 is running\n");

  // One sign-in of the session and one pass over the catalogue; the build
  // list twice: the installer reads the live version from it, and the
  // package manager holds that version to the publisher's signed list.
  EXPECT_EQ(service_->CountRequests("vclient/login"), 1) << "only the stored session's";
  EXPECT_EQ(service_->CountRequests("vclient/builds"), 2);
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
  const std::string packageManager = dataFolder_ + "/utils/VendraBuild.exe";

  // A damaged install is repaired: the cache kept only the build copy of the
  // complete install, so the two damaged files are fetched again.
  fs::remove(installFolder_ + "/data/welcome.txt");
  std::ofstream(installFolder_ + "/Tandory.exe", std::ios::app) << "tampered";
  ASSERT_EQ(RunPackageManager({"modify", "tandory", installFolder_}, packageManager), 0)
      << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("Installing 2 file(s)"), std::string::npos) << ReadFile(log_);
  EXPECT_EQ(ReadFile(installFolder_ + "/data/welcome.txt"), "Welcome to Tandory 2.5.1.\n");
  EXPECT_EQ(service_->CountRequests("vclient/download"), 6) << "only the damaged files";

  const std::string uninstall = VendraText::Utf16ToUtf8(EntryValue(u"UninstallString"));
  ASSERT_NE(uninstall.find("uninstall tandory"), std::string::npos) << uninstall;

  ASSERT_EQ(RunPackageManager({"uninstall", "tandory", installFolder_}, packageManager), 0)
      << ReadFile(log_);
  EXPECT_FALSE(fs::exists(installFolder_ + "/Tandory.exe"));
  EXPECT_FALSE(fs::exists(installFolder_ + "/data/assets.bin"));
  EXPECT_TRUE(fs::exists(installer_)) << "not the package's file";
  EXPECT_EQ(EntryValue(u"UninstallString"), u"");
  EXPECT_EQ(EntryValue(u"DisplayName"), u"");
  EXPECT_FALSE(fs::exists(dataFolder_ + "/downloads/tdy")) << "the product's download cache";
}

// A service that does not hold the publisher's key serves a package manager
// of its own, which the installer would start with its rights. The
// installer refuses every manifest the key it was built with did not sign
// for this utility, before anything is downloaded, and a program other than
// the one signed; the package manager installed before stays byte for byte,
// and nothing else is started. What the publisher signed is installed and
// started.
TEST_F(InstallRunTest, TheInstallerStartsOnlyAPackageManagerItsPinnedKeySigned) {
#ifdef _WIN32
  GTEST_SKIP() << "a refusal waits in a message box under Wine; the runs above install and "
                  "start the signed package manager there";
#endif
  ASSERT_EQ(RunInstaller(), 0);
  ASSERT_TRUE(WaitForPackageManager("Installed tdy live 2.5.1")) << PackageManagerWords();
  const std::string installed = dataFolder_ + "/utils/VendraBuild.exe";
  const std::string genuine = ReadFile(VENDRA_BUILD_PROGRAM);
  ASSERT_EQ(ReadFile(installed), genuine);

  // Both programs say that they ran, and with which arguments.
  const std::string ran = folder_.Sub("ran");
  const auto program = [&](const std::string& who) {
    fs::create_directories(folder_.Sub(who));
    const std::string path = folder_.Sub(who + "/VendraBuild");
    WriteTextFile(path, "#!/bin/sh\necho " + who + " \"$@\" > " + ShellQuoted(ran) + "\n");
    return path;
  };
  const std::string substitute = program("substitute");
  const std::string publishers = program("publisher");
  const std::string otherKey = folder_.Sub("other.key");
  ASSERT_EQ(
      Catalogue("keygen " + ShellPath(otherKey) + " > " + ShellPath(folder_.Sub("other.txt"))), 0);
  const std::string otherText = ReadFile(folder_.Sub("other.txt"));
  const std::string otherId = otherText.substr(otherText.find("key_id ") + 7, 32);
  const std::string pinned = "--key " + ShellQuoted(PinnedPublisherKeyFile());
  const std::string utilities = serviceRoot_.path() + "/utilities/";
  const auto publishInto = [&](const std::string& root, const std::string& options,
                               const std::string& file) {
    ASSERT_EQ(Catalogue("utility " + options + " --root " + ShellPath(root) + " " +
                        ShellPath(file) + " > /dev/null"),
              0);
  };
  const auto publish = [&](const std::string& options, const std::string& file) {
    publishInto(serviceRoot_.path(), options, file);
  };
  // The substitute as a service would pack it, to put in place of what the
  // publisher signed.
  publishInto(folder_.Sub("packed"), "--unsigned --create", substitute);
  const std::string packed = folder_.Sub("packed/utilities/vendrabuild/");
  const std::string substitutePacked = ReadFile(packed + "VendraBuild.exe.z");
  const nlohmann::json substituteManifest =
      nlohmann::json::parse(ReadFile(packed + "manifest.json"));

  const struct {
    const char* what;
    std::function<void()> serve;
    std::string refusal;  // empty: installed and started
  } rows[] = {
      {"signed by another key", [&] { publish("--key " + ShellPath(otherKey), substitute); },
       "The package manager's manifest is signed by key " + otherId +
           ", which is not a trusted publisher key."},
      {"unsigned",
       [&] {
         // The publisher's tool signs unless told not to.
         EXPECT_EQ(Catalogue("utility --root " + ShellPath(serviceRoot_.path()) + " " +
                             ShellPath(substitute) + " 2> /dev/null"),
                   2);
         publish("--unsigned", substitute);
       },
       "The package manager's manifest is not signed by its publisher."},
      {"expired", [&] { publish(pinned + " --expires-at 1000000000", substitute); },
       "The package manager's manifest's signature expired at 2001-09-09 01:46:40 UTC"},
      {"the publisher's manifest of another utility",
       [&] {
         publish(pinned + " --name vendracrash", substitute);
         for (const char* file : {"manifest.json", "VendraBuild.exe.z"})
           fs::copy_file(utilities + "vendracrash/" + file, utilities + "vendrabuild/" + file,
                         fs::copy_options::overwrite_existing);
       },
       "is signed for the utility \"vendracrash\""},
      {"the publisher's manifest, changed to the substitute's digests",
       [&] {
         publish(pinned, publishers);
         nlohmann::json changed =
             nlohmann::json::parse(ReadFile(utilities + "vendrabuild/manifest.json"));
         for (const char* member :
              {"file_size", "file_sha256", "compressed_file_size", "compressed_file_sha256"})
           changed[member] = substituteManifest[member];
         WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/manifest.json",
                          changed.dump());
         WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/VendraBuild.exe.z",
                          substitutePacked);
       },
       "The package manager's manifest does not match its signature"},
      {"the publisher's manifest, served with the substitute's program",
       [&] {
         publish(pinned, publishers);
         WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/VendraBuild.exe.z",
                          substitutePacked);
       },
       "Wrong download of " + installed + ".z"},
      {"the publisher's", [&] { publish(pinned, publishers); }, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    row.serve();
    fs::remove(ran);
    fs::remove(NativePath(log_));
    const int downloads = service_->CountRequests("vclient/download");
    ASSERT_EQ(RunInstaller(), 0);
    if (row.refusal.empty()) {
      // It goes on alone after the hand-over.
      for (int i = 0; i < 600 && ReadFile(ran).empty(); ++i) std::this_thread::sleep_for(100ms);
      EXPECT_EQ(ReadFile(installed), ReadFile(publishers));
      EXPECT_EQ(ReadFile(ran).rfind("publisher install tdy live 2.5.1 ", 0), 0u) << ReadFile(ran);
      continue;
    }
    const std::string said = ReadFile(log_);
    EXPECT_NE(said.find("Error Code -112\n"), std::string::npos) << said;
    EXPECT_NE(said.find(row.refusal), std::string::npos) << said;
    // (compared whole: a program's bytes are no message)
    EXPECT_TRUE(ReadFile(installed) == genuine) << "the installed package manager was replaced";
    EXPECT_FALSE(fs::exists(ran)) << ReadFile(ran);
    // Only a manifest the pinned key signed leads to a download.
    if (row.refusal.find("Wrong download") == std::string::npos) {
      EXPECT_EQ(service_->CountRequests("vclient/download"), downloads);
    }
  }
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
  ASSERT_EQ(Catalogue("publish --key " + ShellPath(key_) + " --root " +
                       ShellPath(serviceRoot_.path()) +
                       " --product tdy --branch live --version 3.0 " + ShellPath(source) +
                       " >> " + ShellPath(log_) + " 2>&1"),
            0)
      << ReadFile(log_);
  const std::string target = folder_.Sub("installed");
  ASSERT_EQ(RunPackageManager({"install", "tdy", "live", "3.0", target, "Tandory.exe"}), 0)
      << ReadFile(log_);
  size_t compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(NativePath(source))) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), NativePath(source));
    EXPECT_EQ(ReadNative(NativePath(target) / relative), ReadNative(entry.path()))
        << VendraText::Utf16ToUtf8(relative.u16string());
    ++compared;
  }
  EXPECT_EQ(compared, 4u);

  // What status tells: complete; a file lost as an interrupted run leaves
  // it; nothing installed in another folder.
  const auto status = [&](const std::string& folder) {
    fs::remove(NativePath(log_));
    RunPackageManager({"--json", "status", folder});
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
  const auto install = [&](const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"--non-interactive"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(),
                     {"install", "tdy", "live", "2.5.1", folder_.Sub("logged"), "Tandory.exe"});
    fs::remove(NativePath(log_));
    return RunPackageManager(arguments);
  };
  // A full log moves aside (over the older one) and a new one starts.
  const std::string full(VendraBuild::ActivityLog::kLogLimit, 'x');
  WriteServiceFile(folder_.path(), "admin.log", full);
  WriteServiceFile(folder_.path(), "admin.log.1", "the oldest");
  ASSERT_EQ(install({"--log", logFile}), 0) << ReadFile(log_);
  EXPECT_EQ(ReadFile(logFile + ".1"), full);
  const std::string text = ReadFile(logFile);
  EXPECT_LT(text.size(), VendraBuild::ActivityLog::kLogLimit);
  for (const std::string& expected : std::vector<std::string>{
           "vclient/refresh: HTTP 200", "vclient/build: HTTP 200", "vclient/download: HTTP 2",
        "started: VendraBuild install tdy live 2.5.1", "downloading", "installing",
        "into " + ShownPath(folder_.Sub("logged")), "placed Tandory.exe", "finished with exit code 0"})
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

  ASSERT_EQ(install({}), 0) << ReadFile(log_);
  EXPECT_NE(ReadFile(dataFolder_ + "/logs/VendraBuild.log").find("vclient/build: HTTP 200"),
            std::string::npos);

#ifdef _WIN32
  GTEST_SKIP() << "a link planted where the log goes: mingw's std::filesystem makes no links";
#endif
  const std::string victim = folder_.Sub("victim");
  WriteServiceFile(folder_.path(), "victim", "keep");
  fs::create_symlink(victim, folder_.Sub("planted.log"));
  EXPECT_EQ(install({"--log", folder_.Sub("planted.log")}), 1);
  EXPECT_NE(ReadFile(log_).find("cannot open the log"), std::string::npos) << ReadFile(log_);
  EXPECT_EQ(ReadFile(victim), "keep");
  // Nor through one planted where a full log moves aside.
  WriteServiceFile(folder_.path(), "rotated.log", full);
  fs::create_symlink(victim, folder_.Sub("rotated.log.1"));
  EXPECT_EQ(install({"--log", folder_.Sub("rotated.log")}), 0) << ReadFile(log_);
  EXPECT_EQ(ReadFile(victim), "keep");
  EXPECT_FALSE(fs::is_symlink(folder_.Sub("rotated.log.1")));
}

// Unattended runs: with a stored session (here one whose access token has
// lapsed, so it is renewed) nothing is asked; without one, or without the
// service, the run ends at once and says why and what to do, even with an
// open input that a prompt would wait on forever.
TEST_F(InstallRunTest, UnattendedRunsNeverAskAndSayWhatStandsInTheWay) {
  session_.channel.reset();  // the access token goes; the refresh token stays
  // The input is a pipe the runner holds open and never writes to.
  const auto run = [&] {
    fs::remove(NativePath(log_));
    return RunProgram({VENDRA_BUILD_PROGRAM, "--non-interactive", "install", "tdy", "live",
                       "2.5.1", folder_.Sub("unattended"), "Tandory.exe"},
                      {log_, "", true});
  };
  const auto started = std::chrono::steady_clock::now();

  SetEnvironment("VENDRA_SERVICE_URL", "https://127.0.0.1:1/");
  const int unreachable = run();
  SetEnvironment("VENDRA_SERVICE_URL", service_->url());
  EXPECT_EQ(unreachable, 1) << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("Cannot reach the service: curl error"), std::string::npos)
      << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("proxy"), std::string::npos);
  EXPECT_EQ(ReadFile(log_).find("Cancel"), std::string::npos) << ReadFile(log_);

  EXPECT_EQ(run(), 0) << ReadFile(log_);
  EXPECT_EQ(ReadFile(log_).find("Username"), std::string::npos) << ReadFile(log_);

  fs::remove_all(NativePath(dataFolder_ + "/localStorage.json"));
  EXPECT_EQ(run(), 1) << ReadFile(log_);
  EXPECT_NE(ReadFile(log_).find("Sign in on this machine first"), std::string::npos)
      << ReadFile(log_);
  // The log ends with the same reason.
  const std::string logged = ReadFile(dataFolder_ + "/logs/VendraBuild.log");
  const size_t failed = logged.rfind(" failed (error code ");
  ASSERT_NE(failed, std::string::npos) << logged;
  EXPECT_NE(logged.find("Sign in on this machine first", failed), std::string::npos) << logged;
  EXPECT_EQ(ReadFile(log_).find("Username:"), std::string::npos) << ReadFile(log_);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 60s) << "nothing waited for input";
}

}  // namespace
}  // namespace VendraTest
