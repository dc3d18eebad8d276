#include "install/package_manager_installation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "client/partial_record.h"
#include "client/session_lock.h"
#include "client/transport_limits.h"
#include "client/v_client.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "install/v_build_client.h"
#include "json/object.h"
#include "json/parser.h"
#include "tests/support/environment.h"
#include "tests/support/published_build.h"
#include "tests/support/service_process.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// The transfers and the utils folder are what these cases are about: the
// manifest is taken on the service's word. Whom the installer trusts for it
// is the install run test's table.
eVClientResult TakeTheServicesWord(const VendraJSON::VSJObject*, std::u16string&) {
  return eVClientResult::Success;
}

// The service with a "vendrabuild" utility whose manifest describes the
// bytes below, and the installer's two clients signed in through a stored
// session.
class PackageManagerInstallationTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }

  void Start(std::vector<std::string> serviceArgs) {
    SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    WriteServiceFile(machine_.path(), "etc/machine-id", "fedcba9876543210fedcba9876543210\n");
    ServiceOptions options;
    options.extraArgs = std::move(serviceArgs);
    std::string failure;
    ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), options, service_, session_,
                                                failure))
        << failure;
    PublishUtility("#!/bin/sh\necho package manager version 1\n", true);
    client_ = std::make_unique<VendraClient::VClient>();
    buildClient_ = std::make_unique<VendraClient::VBuildClient>();
    client_->LoadSession();
    installation_ = std::make_unique<VendraClient::PackageManagerInstallation>(
        *client_, *buildClient_, TakeTheServicesWord);
  }

  void TearDown() override {
    VendraClient::SetTransportLimitsForTesting({});
    SetEnvironment("VENDRA_SERVICE_URL", "");
    SetEnvironment("VENDRA_CA_FILE", "");
    SetEnvironment("VENDRA_MACHINE_ROOT", "");
  }

  // Puts a compressed program and its manifest into the service's root.
  void PublishUtility(const std::string& program, bool withDigest,
                      const std::string& fileName = "VendraBuild.exe") {
    programBytes_ = program;
    const std::string plain = scratch_.Sub("program");
    const std::string packed = scratch_.Sub("program.z");
    WriteFile(plain, program);
    int32_t inSize = 0, outSize = 0;
    std::u16string error;
    ASSERT_EQ(VendraClient::DeflateFile(7, VendraText::Utf8ToUtf16(plain), inSize,
                                        VendraText::Utf8ToUtf16(packed), outSize, error),
              eVClientResult::Success);
    std::string digest, packedDigest;
    ASSERT_TRUE(VendraClient::GetFileDigest(VendraText::Utf8ToUtf16(plain), digest));
    ASSERT_TRUE(VendraClient::GetFileDigest(VendraText::Utf8ToUtf16(packed), packedDigest));
    compressedBytes_ = ReadFile(packed);
    std::ostringstream manifest;
    manifest << R"({"name": "vendrabuild", "filename": ")" << fileName << R"(", "file_size": )"
             << program.size();
    if (withDigest) manifest << R"(, "file_sha256": ")" << digest << '"';
    manifest << R"(, "compressed_file_size": )" << compressedBytes_.size()
             << R"(, "compressed_file_sha256": ")" << packedDigest << R"("})";
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/manifest.json", manifest.str());
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/" + fileName + ".z",
                     compressedBytes_);
  }

  std::string Utils(const std::string& name) {
    std::u16string path;
    client_->GetDataPath(u"utils\\" + VendraText::Utf8ToUtf16(name), path);
    return VendraText::Utf16ToUtf8(path);
  }

  eVClientResult Ensure(std::u16string& error) {
    return installation_->EnsurePackageManager(error);
  }

  TempFolder machine_;
  TempFolder serviceRoot_;
  TempFolder scratch_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::unique_ptr<VendraClient::VClient> client_;
  std::unique_ptr<VendraClient::VBuildClient> buildClient_;
  std::unique_ptr<VendraClient::PackageManagerInstallation> installation_;
  std::string programBytes_;
  std::string compressedBytes_;
};

TEST_F(PackageManagerInstallationTest, AMissingUtilityIsDownloadedExpandedAndMadeRunnable) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe.z")), compressedBytes_) << "the download stays";
#ifndef _WIN32
  // Windows runs any program it can read; elsewhere the mode bit decides.
  struct stat st {};
  ASSERT_EQ(::stat(Utils("VendraBuild.exe").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
#endif
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 1);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);

  // Once done, the same process asks nothing more.
  EXPECT_EQ(Ensure(error), eVClientResult::Success);
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 1);
}

TEST_F(PackageManagerInstallationTest, ACurrentUtilityCostsOneManifestRequestAndNothingElse) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  // A second run of the installer: a new process state.
  VendraClient::PackageManagerInstallation again(*client_, *buildClient_, TakeTheServicesWord);
  ASSERT_EQ(again.EnsurePackageManager(error), eVClientResult::Success);
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 2);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
}

TEST_F(PackageManagerInstallationTest, ACurrentDownloadIsExpandedWithoutBeingFetchedAgain) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  for (const std::string& damage : {std::string(), std::string(programBytes_.size(), 'x')}) {
    SCOPED_TRACE(damage.empty() ? "missing" : "same size, other content");
    if (damage.empty()) std::remove(Utils("VendraBuild.exe").c_str());
    else WriteFile(Utils("VendraBuild.exe"), damage);
    VendraClient::PackageManagerInstallation again(*client_, *buildClient_, TakeTheServicesWord);
    ASSERT_EQ(again.EnsurePackageManager(error), eVClientResult::Success);
    EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
  }
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
}

TEST_F(PackageManagerInstallationTest, AnEmptyInstalledFileIsNeverCurrent) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  WriteFile(Utils("VendraBuild.exe"), "");
  VendraJSON::VSJObject* manifest = nullptr;
  ASSERT_EQ(client_->GetUtilityManifest("vendrabuild", &manifest, error), eVClientResult::Success);
  EXPECT_EQ(buildClient_->CheckUtilityFile(manifest, error), eVClientResult::VerifyFailed);
  EXPECT_EQ(buildClient_->CheckUtilityDownload(manifest, error), eVClientResult::Success);
  manifest->Release();
  EXPECT_EQ(buildClient_->CheckUtilityFile(nullptr, error), eVClientResult::InvalidArgument);
}

TEST_F(PackageManagerInstallationTest, AManifestWithoutADigestExpandsOnEveryRun) {
  PublishUtility("program without a published digest", false);
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  WriteFile(Utils("VendraBuild.exe"), "stale");
  VendraClient::PackageManagerInstallation again(*client_, *buildClient_, TakeTheServicesWord);
  ASSERT_EQ(again.EnsurePackageManager(error), eVClientResult::Success);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
}

TEST_F(PackageManagerInstallationTest, ADamagedDownloadFailsTheExpansionAndReportsIt) {
  PublishUtility("the real program", true);
  // The service now serves other bytes than its manifest describes.
  WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/VendraBuild.exe.z",
                   "not a zlib stream");
  std::u16string error;
  const eVClientResult code = Ensure(error);
  EXPECT_NE(code, eVClientResult::Success);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Exists(Utils("VendraBuild.exe")));
}

TEST_F(PackageManagerInstallationTest, AHostileUtilityFileNameWritesNothingOutsideUtils) {
  PublishUtility("payload", true, "../../escaped.exe");
  std::u16string error;
  EXPECT_EQ(Ensure(error), eVClientResult::Failed);
  EXPECT_NE(error.find(u"unsafe"), std::u16string::npos) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 0);
  std::u16string data;
  client_->GetDataPath(u"", data);
  EXPECT_FALSE(Exists(VendraText::Utf16ToUtf8(data) + "/../escaped.exe.z"));
  EXPECT_FALSE(Exists(VendraText::Utf16ToUtf8(data) + "/../escaped.exe"));
}

// A broken or hostile service, one reply at a time, with the limits
// shortened so that each row takes seconds: every download stops at the size
// it is meant to have and keeps nothing past it, a text reply at its
// ceiling, a crawl and an endless wait are ended; a partial file of another
// version is never continued, and a continued one that turns out wrong is
// started over in the same run.
TEST_F(PackageManagerInstallationTest, HostileRepliesAreBoundedAndPartialFilesTiedToTheirFile) {
  // A program large enough to take seconds at a crawl (incompressible).
  std::string program(1 << 20, '\0');
  std::mt19937 random(5);
  for (char& c : program) c = static_cast<char>(random());
  PublishUtility(program, true);
  const std::string manifest =
      ReadFile(serviceRoot_.path() + "/utilities/vendrabuild/manifest.json");
  const std::string packed = compressedBytes_;
  const std::string packedSize = std::to_string(packed.size());
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success) << VendraText::Utf16ToUtf8(error);

  // The bytes the head of another version's download would hold.
  std::string other = packed.substr(0, 100000);
  for (char& c : other) c = static_cast<char>(c ^ 0x5a);
  const std::string endless = R"([{"status":200,"body":"0123456789","repeat_to":1073741824}])";
  // 4 MiB of text in a reply of a few KiB: the bound counts expanded bytes.
  std::string bombHex;
  for (const unsigned char byte : Deflate(std::string(4 << 20, ' '))) {
    bombHex += "0123456789abcdef"[byte >> 4];
    bombHex += "0123456789abcdef"[byte & 15];
  }
  const std::string expanding = R"([{"status":200,"headers":{"Content-Encoding":"deflate"},)"
                                R"("body_hex":")" + bombHex + R"("}])";
  const std::string buildFile = scratch_.Sub("cache/big.bin.z");
  const auto plant = [&](const std::string& bytes, uint64_t size, const std::string& digest) {
    WriteFile(Utils("VendraBuild.exe.z.partial"), bytes);
    WriteFile(Utils("VendraBuild.exe.z.partial.expected"),
              VendraClient::PartialRecordText(size, digest));
  };
  enum class Act { Install, DownloadBuildFile };
  const struct {
    const char* what;
    Act act;
    long waitSeconds;
    std::function<void()> arrange;
    eVClientResult code;
    std::string text;  // found in the error text
    // The downloads' "Range" headers in order; a trailing '*' matches any rest.
    std::vector<std::string> ranges;
  } rows[] = {
      {"endless build file", Act::DownloadBuildFile, 60,
       [&] { ASSERT_TRUE(service_->Script("vclient/download", endless)); },
       eVClientResult::VerifyFailed,
       "Wrong download of " + buildFile + ": it passed the 1000 bytes expected (", {""}},
      {"endless utility", Act::Install, 60,
       [&] { ASSERT_TRUE(service_->Script("vclient/download", endless)); },
       eVClientResult::VerifyFailed,
       "Wrong download of " + Utils("VendraBuild.exe.z") + ": it passed the " +
           packedSize + " bytes expected (",
       {""}},
      {"endless utility of unknown size", Act::Install, 60,
       [&] {
         WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/manifest.json",
                          nlohmann::json{{"name", "vendrabuild"},
                                         {"filename", "VendraBuild.exe"},
                                         {"file_size", programBytes_.size()},
                                         {"file_sha256", Sha256Hex(programBytes_)}}
                              .dump());
         ASSERT_TRUE(service_->Script("vclient/download", endless));
       },
       eVClientResult::VerifyFailed,
       "Wrong download of " + Utils("VendraBuild.exe.z") +
           ": it passed 4194304 bytes, the most a download of unknown size may have (",
       {""}},
      {"endless text", Act::Install, 60,
       [&] { ASSERT_TRUE(service_->Script("vclient/utility", endless)); },
       eVClientResult::BadReply,
       "The reply to vclient/utility passed the 1048576 bytes a reply may hold; the request was "
       "ended",
       {}},
      {"text that expands past the bound", Act::Install, 60,
       [&] { ASSERT_TRUE(service_->Script("vclient/utility", expanding)); },
       eVClientResult::BadReply,
       "The reply to vclient/utility passed the 1048576 bytes a reply may hold; the request was "
       "ended",
       {}},
      {"crawl", Act::Install, 60,
       [&] {
         ASSERT_TRUE(service_->Script("vclient/download",
                                      R"([{"chunk_size":1024,"chunk_delay_ms":100},
                                          {"chunk_size":1024,"chunk_delay_ms":100}])"));
       },
       eVClientResult::TransferTimedOut,
       "attempt 2: The transfer was slower than 32768 bytes per second for 2 seconds and was "
       "ended",
       {"", "bytes=*"}},
      {"moving, but past the installer's wait", Act::Install, 2,
       [&] {
         ASSERT_TRUE(service_->Script("vclient/download",
                                      R"([{"chunk_size":8192,"chunk_delay_ms":100}])"));
       },
       eVClientResult::TransferTimedOut,
       "The package manager's download did not finish within 2 seconds and was stopped", {""}},
      {"partial of another version, without a record", Act::Install, 60,
       [&] { WriteFile(Utils("VendraBuild.exe.z.partial"), other); }, eVClientResult::Success, "",
       {""}},
      {"partial of another version, with its record", Act::Install, 60,
       [&] { plant(other, other.size() * 3, Sha256Hex(other)); }, eVClientResult::Success, "",
       {""}},
      {"splice: a partial whose record says it is this file, with other bytes", Act::Install, 60,
       [&] { plant(other, packed.size(), Sha256Hex(packed)); }, eVClientResult::Success, "",
       {"bytes=100000-", ""}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(service_->ClearScript());
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/manifest.json", manifest);
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(Utils("x")).parent_path()))
      std::filesystem::remove_all(e.path());
    std::filesystem::remove_all(scratch_.Sub("cache"));
    VendraClient::TransportLimits limits;
    limits.downloadAttempts = 2;
    limits.retryPauseMs = 10;
    limits.slowSeconds = 2;
    limits.slowBytesPerSecond = 32768;
    limits.largestTextReply = 1 << 20;
    limits.largestUnsizedDownload = 4 << 20;
    limits.utilityWaitSeconds = row.waitSeconds;
    VendraClient::SetTransportLimitsForTesting(limits);
    row.arrange();
    const size_t logged = service_->RequestLog().size();

    error.clear();
    eVClientResult code = eVClientResult::Success;
    if (row.act == Act::Install) {
      VendraClient::PackageManagerInstallation fresh(*client_, *buildClient_, TakeTheServicesWord);
      code = fresh.EnsurePackageManager(error);
    } else {
      Vendra::RefPtr<VendraJSON::VSJObject> build, file;
      std::u16string ignored;
      const std::string buildText = R"({"software":"tandory","branch":"live","version":"1"})";
      const std::string fileText =
          nlohmann::json{{"filename", "big.bin"},
                         {"local_compressed_filename", buildFile},
                         {"compressed_size", 1000},
                         {"compressed_sha256", std::string(64, 'a')}}
              .dump();
      ASSERT_TRUE(VendraJSON::ParseObjectA(buildText.c_str(), build.Receive(), ignored));
      ASSERT_TRUE(VendraJSON::ParseObjectA(fileText.c_str(), file.Receive(), ignored));
      code = client_->DownloadFile(build.get(), file.get(), nullptr, nullptr, error);
    }

    EXPECT_EQ(code, row.code) << VendraText::Utf16ToUtf8(error);
    EXPECT_NE(VendraText::Utf16ToUtf8(error).find(row.text), std::string::npos)
        << VendraText::Utf16ToUtf8(error);
    std::vector<std::string> ranges;
    const auto log = service_->RequestLog();
    for (size_t i = logged; i < log.size(); ++i)
      if (log[i].value("path", "") == "vclient/download") ranges.push_back(log[i].value("range", ""));
    ASSERT_EQ(ranges.size(), row.ranges.size());
    for (size_t i = 0; i < ranges.size(); ++i) {
      const std::string& want = row.ranges[i];
      if (!want.empty() && want.back() == '*')
        EXPECT_EQ(ranges[i].rfind(want.substr(0, want.size() - 1), 0), 0u) << ranges[i];
      else
        EXPECT_EQ(ranges[i], want);
    }
    if (code == eVClientResult::Success) {
      EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), program);
    }
    // Nothing past the size a file is meant to have was kept anywhere.
    for (const std::string& folder : {Utils(""), scratch_.Sub("cache")}) {
      if (!std::filesystem::exists(folder)) continue;
      for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        const uint64_t bound = name.rfind("VendraBuild.exe", 0) == 0 &&
                                       name.find(".z") == std::string::npos
                                   ? program.size()
                                   : packed.size();
        EXPECT_LE(std::filesystem::file_size(e.path()), bound) << name;
        if (row.code == eVClientResult::VerifyFailed) {
          EXPECT_EQ(name.find(".partial"), std::string::npos) << "discarded: " << name;
        }
      }
    }
  }
}

// The attacks below use POSIX owners, modes, pipes and folder watches; under
// Wine files carry no owners or access lists for another user to exploit.
#ifndef _WIN32

// Another local user attacks the folder the elevated installer starts the
// package manager from. The data folder is open to everyone; its utils
// folder must be the program's own.
class UtilityTrustTest : public PackageManagerInstallationTest {
 protected:
  void SetUp() override {
    PackageManagerInstallationTest::SetUp();
    client_->GetDataPath(u"", dataWide_);
    data_ = VendraText::Utf16ToUtf8(dataWide_);
    // The other user must be able to reach the shared data folder.
    for (std::filesystem::path p = data_; p != std::filesystem::path(machine_.path()).parent_path();
         p = p.parent_path())
      if (p != data_) std::filesystem::permissions(p, std::filesystem::perms::others_exec,
                                                   std::filesystem::perm_options::add);
  }

  bool UtilsIsTheProgramsOwn() const {
    struct stat st {};
    return ::lstat((data_ + "/utils").c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0755;
  }

  std::vector<std::string> SetAside() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(data_))
      if (e.path().filename().string().rfind("utils.untrusted-", 0) == 0)
        names.push_back(e.path().string());
    return names;
  }

  std::u16string dataWide_;
  std::string data_;
  TempFolder elsewhere_;
};

// utils made first by someone else, or open to them, is never used: it is
// moved aside with what it holds, and a folder of the program's own made in
// its place.
TEST_F(UtilityTrustTest, AUtilsFolderSomeoneElseControlsIsMovedAsideAndRemade) {
  if (!CanDropPrivileges()) GTEST_SKIP() << "needs root to play the other user";
  const std::string planted = "#!/bin/sh\nid > /tmp/owned\n";
  enum class Plant { OtherUsersFolder, WorldWritable, LinkToOtherUsersFolder };
  for (const Plant plant : {Plant::OtherUsersFolder, Plant::WorldWritable,
                            Plant::LinkToOtherUsersFolder}) {
    SCOPED_TRACE(static_cast<int>(plant));
    std::filesystem::remove_all(data_ + "/utils");
    for (const auto& aside : SetAside()) std::filesystem::remove_all(aside);
    const std::string otherFolder = elsewhere_.Sub("theirs" + std::to_string(static_cast<int>(plant)));
    if (plant == Plant::WorldWritable) {
      std::filesystem::create_directory(data_ + "/utils");
      ::chmod((data_ + "/utils").c_str(), 0777);
      WriteFile(data_ + "/utils/VendraBuild.exe", planted);
    } else {
      ::chmod(elsewhere_.path().c_str(), 01777);
      ASSERT_EQ(RunUnprivileged([&] {
                  const std::string folder =
                      plant == Plant::OtherUsersFolder ? data_ + "/utils" : otherFolder;
                  if (::mkdir(folder.c_str(), 0755) != 0) return 1;
                  WriteFile(folder + "/VendraBuild.exe", planted);
                  WriteFile(folder + "/VendraBuild.exe.z", compressedBytes_);
                  if (plant == Plant::LinkToOtherUsersFolder &&
                      ::symlink(folder.c_str(), (data_ + "/utils").c_str()) != 0)
                    return 2;
                  return 0;
                }),
                0);
    }
    VendraClient::PackageManagerInstallation fresh(*client_, *buildClient_, TakeTheServicesWord);
    std::u16string error;
    ASSERT_EQ(fresh.EnsurePackageManager(error), eVClientResult::Success)
        << VendraText::Utf16ToUtf8(error);
    EXPECT_TRUE(UtilsIsTheProgramsOwn());
    EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
    ASSERT_EQ(SetAside().size(), 1u);
    if (plant == Plant::LinkToOtherUsersFolder) {
      EXPECT_EQ(ReadFile(otherFolder + "/VendraBuild.exe"), planted) << "nothing written through";
    } else {
      EXPECT_EQ(ReadFile(SetAside()[0] + "/VendraBuild.exe"), planted) << "set aside, not lost";
    }
  }
}

// Links found in the utils folder, whoever left them, are replaced by the
// new files; the files they point at are never written.
TEST_F(UtilityTrustTest, LinksInTheUtilsFolderAreReplacedNeverWrittenThrough) {
  for (const std::string name : {"VendraBuild.exe.z", "VendraBuild.exe"}) {
    SCOPED_TRACE(name);
    std::filesystem::remove_all(data_ + "/utils");
    std::filesystem::create_directory(data_ + "/utils");
    ::chmod((data_ + "/utils").c_str(), 0755);
    const std::string victim = elsewhere_.Sub("victim");
    WriteFile(victim, "precious");
    ::chmod(victim.c_str(), 0600);
    ASSERT_EQ(::symlink(victim.c_str(), Utils(name).c_str()), 0);
    VendraClient::PackageManagerInstallation fresh(*client_, *buildClient_, TakeTheServicesWord);
    std::u16string error;
    ASSERT_EQ(fresh.EnsurePackageManager(error), eVClientResult::Success)
        << VendraText::Utf16ToUtf8(error);
    EXPECT_EQ(ReadFile(victim), "precious");
    struct stat st {};
    ASSERT_EQ(::lstat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::lstat(Utils(name).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
  }
}

// The service hands out a valid stream of another program: with or without
// a digest of the download in the manifest, the expanded file is checked
// before it replaces anything.
TEST_F(UtilityTrustTest, AValidStreamOfOtherContentIsRefusedAndTheOldProgramStays) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  const std::string installed = programBytes_;
  for (const bool downloadDigest : {true, false}) {
    SCOPED_TRACE(downloadDigest ? "download digest published" : "program digest only");
    PublishUtility("#!/bin/sh\necho package manager version 2\n", true);
    if (!downloadDigest) {
      std::string digest;
      ASSERT_TRUE(VendraClient::GetFileDigest(VendraText::Utf8ToUtf16(scratch_.Sub("program")),
                                              digest));
      WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/manifest.json",
                       R"({"name": "vendrabuild", "filename": "VendraBuild.exe", "file_size": )" +
                           std::to_string(programBytes_.size()) + R"(, "file_sha256": ")" +
                           digest + R"("})");
    }
    // Same length, other bytes: only the digest tells them apart.
    std::string other = programBytes_;
    other[other.size() - 2] = '9';
    WriteFile(scratch_.Sub("other"), other);
    int32_t inSize = 0, outSize = 0;
    ASSERT_EQ(VendraClient::DeflateFile(7, VendraText::Utf8ToUtf16(scratch_.Sub("other")), inSize,
                                        VendraText::Utf8ToUtf16(scratch_.Sub("other.z")), outSize,
                                        error),
              eVClientResult::Success);
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/VendraBuild.exe.z",
                     ReadFile(scratch_.Sub("other.z")));
    // A backup left by an earlier run is not this run's to put back.
    WriteFile(Utils("VendraBuild.exe.bak"), "stale program of an earlier run");
    VendraClient::PackageManagerInstallation again(*client_, *buildClient_, TakeTheServicesWord);
    error.clear();
    EXPECT_EQ(again.EnsurePackageManager(error), eVClientResult::VerifyFailed);
    EXPECT_NE(error.find(u"VendraBuild.exe"), std::u16string::npos)
        << VendraText::Utf16ToUtf8(error);
    EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), installed);
    for (const auto& e : std::filesystem::directory_iterator(data_ + "/utils"))
      EXPECT_EQ(e.path().filename().string().find(".new-"), std::string::npos)
          << "nothing half-done is left: " << e.path();
    std::remove(Utils("VendraBuild.exe.bak").c_str());
  }
}

// A pipe planted where a file is expected is never opened for a wait: the
// check answers at once, the pipe is replaced, and the session lock is free
// again afterwards.
TEST_F(UtilityTrustTest, APipeInPlaceOfAFileAnswersPromptlyAndFreesTheLock) {
  for (const std::string name : {"VendraBuild.exe", "VendraBuild.exe.z"}) {
    SCOPED_TRACE(name);
    std::filesystem::remove_all(data_ + "/utils");
    std::filesystem::create_directory(data_ + "/utils");
    ::chmod((data_ + "/utils").c_str(), 0755);
    ASSERT_EQ(::mkfifo(Utils(name).c_str(), 0666), 0);
    // A hang fails the test run instead of stalling it.
    ::alarm(120);
    VendraClient::PackageManagerInstallation fresh(*client_, *buildClient_, TakeTheServicesWord);
    std::u16string error;
    EXPECT_EQ(fresh.EnsurePackageManager(error), eVClientResult::Success)
        << VendraText::Utf16ToUtf8(error);
    ::alarm(0);
    EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
    VendraClient::NamedMutexLockGuard lock(VendraClient::SessionLock(), 0);
    EXPECT_TRUE(lock.acquired());
  }
}

// The first half of the attack made utils the other user's; the second
// swaps the program whenever the folder changes (driven by inotify), to be
// quicker than the check-then-start. The program in place afterwards must be
// the one that was checked, and no swap may have landed.
TEST_F(UtilityTrustTest, ASwapperWatchingTheFolderNeverReplacesTheCheckedProgram) {
  if (!CanDropPrivileges()) GTEST_SKIP() << "needs root to play the other user";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const std::string stop = data_ + "/stop-swapping";
  const std::string utils = data_ + "/utils";
  const std::string evil = "#!/bin/sh\nid > /tmp/owned\n";
  pid_t swapper = ::fork();
  ASSERT_GE(swapper, 0);
  if (swapper == 0) {
    ::close(ready[0]);
    ::_exit(RunUnprivileged([&] {
      ::mkdir(utils.c_str(), 0777);
      const int watch = ::inotify_init1(IN_NONBLOCK);
      ::inotify_add_watch(watch, data_.c_str(), IN_ALL_EVENTS);
      int landed = 0;
      bool watchingUtils = false;
      [[maybe_unused]] const ssize_t w = ::write(ready[1], "r", 1);
      for (int spins = 0; spins < 200000 && ::access(stop.c_str(), F_OK) != 0; ++spins) {
        char events[4096];
        while (::read(watch, events, sizeof events) > 0) {
        }
        if (!watchingUtils)
          watchingUtils = ::inotify_add_watch(watch, utils.c_str(), IN_ALL_EVENTS) >= 0;
        const std::string mine = data_ + "/mine";
        WriteFile(mine, evil);
        ::chmod(mine.c_str(), 0755);
        // Swaps into the folder it made itself do not count: that folder is
        // set aside unused.
        struct stat st {};
        const bool theirs = ::lstat(utils.c_str(), &st) == 0 && st.st_uid != ::geteuid();
        if (::rename(mine.c_str(), (utils + "/VendraBuild.exe").c_str()) == 0 && theirs) ++landed;
        std::ofstream over(utils + "/VendraBuild.exe", std::ios::binary | std::ios::trunc);
        if (over && (over << evil) && over.flush() && theirs) ++landed;
        ::usleep(200);
      }
      return landed > 0 ? 1 : 0;
    }));
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  std::u16string error;
  VendraClient::PackageManagerInstallation fresh(*client_, *buildClient_, TakeTheServicesWord);
  const eVClientResult code = fresh.EnsurePackageManager(error);
  const std::string placed = ReadFile(Utils("VendraBuild.exe"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string later = ReadFile(Utils("VendraBuild.exe"));
  WriteFile(stop, "");
  int status = 0;
  ASSERT_EQ(::waitpid(swapper, &status, 0), swapper);
  ASSERT_EQ(code, eVClientResult::Success) << VendraText::Utf16ToUtf8(error);
  EXPECT_TRUE(UtilsIsTheProgramsOwn());
  EXPECT_EQ(placed, programBytes_);
  EXPECT_EQ(later, programBytes_);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a swap landed in the program's folder";
}

// The installer starts utils\\VendraBuild.exe: a manifest naming another
// file would have it start a file nobody checked. Names are compared as the
// file system compares them: another letter case is the same file on
// Windows, another file elsewhere.
TEST_F(PackageManagerInstallationTest, AManifestNamingAnotherProgramThanTheOneStartedIsRefused) {
#ifdef _WIN32
  const bool caseBlind = true;
#else
  const bool caseBlind = false;
#endif
  const struct {
    const char* fileName;
    bool accepted;
  } cases[] = {{"Other.exe", false}, {"vendrabuild.EXE", caseBlind}, {"VendraBuild.exe", true}};
  for (const auto& item : cases) {
    SCOPED_TRACE(item.fileName);
    PublishUtility("program named " + std::string(item.fileName), true, item.fileName);
    VendraClient::PackageManagerInstallation installer(*client_, *buildClient_,
                                                       TakeTheServicesWord, u"VendraBuild.exe");
    const int downloads = service_->CountRequests("vclient/download");
    std::u16string error;
    const eVClientResult code = installer.EnsurePackageManager(error);
    if (item.accepted) {
      EXPECT_EQ(code, eVClientResult::Success) << VendraText::Utf16ToUtf8(error);
    } else {
      EXPECT_EQ(code, eVClientResult::Failed);
      EXPECT_NE(error.find(VendraText::Utf8ToUtf16(item.fileName)), std::u16string::npos)
          << VendraText::Utf16ToUtf8(error);
      EXPECT_EQ(service_->CountRequests("vclient/download"), downloads);
    }
  }
}

class ExpiringAccessTest : public PackageManagerInstallationTest {
 protected:
  void SetUp() override { Start({"--access-lifetime", "2"}); }
};

TEST_F(ExpiringAccessTest, AnAccessTokenThatExpiredBeforeTheDownloadIsRenewedAndTheDownloadRetried) {
  VendraJSON::VSJObject* manifest = nullptr;
  std::u16string error;
  ASSERT_EQ(client_->GetUtilityManifest("vendrabuild", &manifest, error), eVClientResult::Success);
  std::this_thread::sleep_for(std::chrono::milliseconds(3100));
  EXPECT_EQ(installation_->DownloadUtility(manifest, error), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  manifest->Release();
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), 1);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe.z")), compressedBytes_);
}

#endif  // _WIN32

}  // namespace
}  // namespace VendraTest
