// Signed releases end to end: the publisher tool signs builds, their
// programs and the build list, the service stand-in serves them (or what an
// attacker made of them), and the package manager installs only what the
// publisher signed, never older than what its signed list names live.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "install/v_build_client.h"
#include "json/array.h"
#include "json/files.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/publisher/key_revocation.h"
#include "packagemanager/publisher/publisher_key.h"
#include "packagemanager/publisher/release_signing.h"
#include "packagemanager/release/utc_text.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;
using VendraJSON::VSJObject;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Runs a shell command; its output is appended to out.
int RunShell(const std::string& command, std::string* out = nullptr) {
  TempFolder folder;
  const int status = std::system((command + " > " + Quoted(folder.Sub("out")) + " 2>&1").c_str());
  if (out) *out += ReadFile(folder.Sub("out"));
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a shell command with standard output and standard error apart.
int RunSplit(const std::string& command, std::string& out, std::string& err) {
  TempFolder folder;
  const int status = std::system((command + " > " + Quoted(folder.Sub("out")) + " 2> " +
                                  Quoted(folder.Sub("err")))
                                     .c_str());
  out = ReadFile(folder.Sub("out"));
  err = ReadFile(folder.Sub("err"));
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Vendra::RefPtr<VSJObject> LoadObject(const std::string& path) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  std::u16string error;
  if (!VendraJSON::LoadFile(VendraText::Utf8ToUtf16(path), value.Receive(), error) ||
      value->GetType() != VendraJSON::kTypeObject)
    return {};
  return Vendra::RefPtr<VSJObject>::Share(static_cast<VSJObject*>(value.get()));
}

// The install folder against a build's file list: how many files differ.
size_t FilesNotMatching(const std::string& installFolder, const std::string& buildJson) {
  auto build = LoadObject(buildJson);
  if (!build) return 999;
  VendraClient::VBuildClient buildClient;
  Vendra::RefPtr<VendraJSON::VSJArray> differing;
  std::u16string error;
  if (buildClient.GetBuildFilesToInstall(build.get(), VendraText::Utf8ToUtf16(installFolder),
                                         differing.Receive(), error) !=
      VendraClient::eVClientResult::Success)
    return 998;
  return differing->Count();
}

// A code-signing authority the machine trusts, one it does not, and a
// signer issued by each.
bool MakeCodeSigners(const TempFolder& pki) {
  auto authority = [&](const std::string& name) {
    return RunShell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
               Quoted(pki.Sub(name + ".key")) + " -out " + Quoted(pki.Sub(name + ".pem")) +
               " -days 2 -subj '/CN=" + name + "' -addext basicConstraints=critical,CA:TRUE"
               " -addext keyUsage=critical,keyCertSign") == 0;
  };
  auto signer = [&](const std::string& name, const std::string& issuer) {
    WriteTextFile(pki.Sub(name + ".ext"),
                  "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature\n"
                  "extendedKeyUsage=codeSigning\n");
    return RunShell("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
               Quoted(pki.Sub(name + ".key")) + " -out " + Quoted(pki.Sub(name + ".csr")) +
               " -subj '/CN=" + name + "'") == 0 &&
           RunShell("openssl x509 -req -in " + Quoted(pki.Sub(name + ".csr")) + " -CA " +
               Quoted(pki.Sub(issuer + ".pem")) + " -CAkey " + Quoted(pki.Sub(issuer + ".key")) +
               " -CAcreateserial -days 2 -out " + Quoted(pki.Sub(name + ".pem")) + " -extfile " +
               Quoted(pki.Sub(name + ".ext"))) == 0;
  };
  return authority("publisher-ca") && authority("unknown-ca") &&
         signer("publisher", "publisher-ca") && signer("impostor", "unknown-ca");
}

// A machine with the package manager pinned to the publisher's key and the
// publisher's code-signing authority trusted; the service with tdy 2.4.0
// (release 3) and 2.5.1 (release 5), both signed; 2.5.1 installed.
class SignedReleaseTest : public ::testing::Test {
 protected:
  static constexpr char kMachineId[] = "00112233445566778899aabbccddeeff\n";

  void SetUp() override {
    ::setenv("VENDRA_MACHINE_ROOT", machine_.path().c_str(), 1);
    WriteServiceFile(machine_.path(), "etc/machine-id", kMachineId);
    ASSERT_TRUE(MakeCodeSigners(pki_)) << "openssl could not make the test certificates";
    fs::create_directories(machine_.Sub("etc/vendra/trusted"));
    fs::copy_file(pki_.Sub("publisher-ca.pem"), machine_.Sub("etc/vendra/trusted/publisher.pem"));

    std::string root;
    ASSERT_EQ(RunShell(Quoted(VENDRA_CATALOGUE_PROGRAM) + " keygen " + Quoted(keys_.Sub("root")),
                  &root),
              0)
        << root;
    ASSERT_EQ(Keygen("publisher", "root"), 0);
    ASSERT_EQ(Keygen("stranger"), 0);
    const std::string publicKey = root.substr(11, root.find('\n') - 11);
    WriteTextFile(keys_.Sub("config.json"), R"({"publisher_keys": [")" + publicKey +
                                                R"("], "build_lists": {"tdy": "TDY-UPLINK"}})");
    ::setenv("VENDRA_BUILD_CONFIG", keys_.Sub("config.json").c_str(), 1);

    ASSERT_EQ(Publish("2.4.0", "--counter 3"), 0);
    ASSERT_EQ(Publish("2.5.1", "--counter 5"), 0);
    std::string failure;
    ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                                failure))
        << failure;
    installFolder_ = folder_.Sub("Tandory");
  }
  void TearDown() override {
    for (const char* name :
         {"VENDRA_SERVICE_URL", "VENDRA_CA_FILE", "VENDRA_MACHINE_ROOT", "VENDRA_BUILD_CONFIG"})
      ::unsetenv(name);
  }

  // Publishes a version of tdy, by default signed with the publisher's key
  // and its programs with the trusted code-signing certificate.
  int Publish(const std::string& version, const std::string& options = "",
              const std::string& key = "publisher", const std::string& codeSigner = "publisher") {
    const std::string product = folder_.Sub("product-" + version);
    if (!fs::exists(product) &&
        RunShell(Quoted(VENDRA_DEMO_PRODUCT_SCRIPT) + " " + Quoted(product) + " " + version) != 0)
      return -1;
    std::string command = Quoted(VENDRA_CATALOGUE_PROGRAM) + " publish --replace " + options;
    command += " --key " + Quoted(keys_.Sub(key));
    if (!codeSigner.empty())
      command += " --code-sign-cert " + Quoted(pki_.Sub(codeSigner + ".pem")) +
                 " --code-sign-key " + Quoted(pki_.Sub(codeSigner + ".key"));
    std::string output;
    const int code = RunShell(command + " --root " + Quoted(serviceRoot_.path()) +
                                  " --product tdy --branch live --version " + version +
                                  " --build-list TDY-UPLINK " + Quoted(product),
                              &output);
    EXPECT_EQ(code, 0) << output;
    return code;
  }

  // Makes the key name (vouched for by signedBy, when given).
  int Keygen(const std::string& name, const std::string& signedBy = "") {
    std::string output;
    const int code =
        RunShell(Quoted(VENDRA_CATALOGUE_PROGRAM) + " keygen " +
                     (signedBy.empty() ? "" : "--signed-by " + Quoted(keys_.Sub(signedBy)) + " ") +
                     Quoted(keys_.Sub(name)),
                 &output);
    EXPECT_EQ(code, 0) << output;
    return code;
  }

  std::string KeyIdOf(const std::string& name) {
    VendraBuild::PublisherKey key;
    std::u16string error;
    EXPECT_TRUE(key.Load(keys_.WSub(name), error)) << VendraText::Utf16ToUtf8(error);
    return key.keyId();
  }

  enum class Tamper { kNone, kForged, kUnsigned };
  // A copy of the publisher's key, as name, whose builds carry the
  // revocation of revoked signed by signer, as is or tampered with: what the
  // publisher tool would refuse to make.
  void KeyCarrying(const std::string& name, const std::string& signer, const std::string& revoked,
                   Tamper tamper = Tamper::kNone) {
    fs::copy_file(keys_.Sub("publisher"), keys_.Sub(name));
    fs::copy_file(keys_.Sub("publisher.chain.json"), keys_.Sub(name + ".chain.json"));
    VendraBuild::PublisherKey key, signingKey;
    std::u16string error;
    ASSERT_TRUE(key.Load(keys_.WSub(name), error) && signingKey.Load(keys_.WSub(signer), error));
    auto statement = VendraBuild::SignRevocation(signingKey, KeyIdOf(revoked), 0, error);
    ASSERT_TRUE(statement) << VendraText::Utf16ToUtf8(error);
    if (tamper == Tamper::kForged) statement->SetInteger(u"reset_counter", 1);
    if (tamper == Tamper::kUnsigned)
      statement = VendraBuild::ObjectWithout(statement.get(), u"value");
    ASSERT_TRUE(key.CarryRevocation(keys_.WSub(name), statement.get(), error));
  }

  // Where the stored session is kept (the user name and the refresh and
  // local tokens).
  std::string SessionFile() const {
    return machine_.Sub("ProgramData/Vendra Software/localStorage.json");
  }

  std::string BuildJson(const std::string& version) const {
    return serviceRoot_.Sub("catalogue/tdy/live/" + version + "/build.json");
  }

  std::string InstallCommand(const std::string& version, const std::string& options) const {
    return Quoted(VENDRA_BUILD_PROGRAM) + " install " + options + " tdy live " + version + " " +
           Quoted(installFolder_) + " " + Quoted(installFolder_ + "/Tandory.exe");
  }
  int Install(const std::string& version, std::string& output,
              const std::string& options = "") {
    return RunShell(InstallCommand(version, options), &output);
  }

  // The next reply to path ("vclient/build" by default) is this text
  // instead of the stored one.
  void ServeBuildText(const std::string& text, const std::string& path = "vclient/build") {
    ASSERT_TRUE(service_->Script(
        path, nlohmann::json::array({{{"status", 200}, {"body", text}}}).dump()));
  }

  std::string BuildListJson() const {
    return serviceRoot_.Sub("catalogue/TDY-UPLINK/builds.json");
  }

  // The next "vclient/builds" reply: the publisher's list with version as
  // live, signed by key (unsigned when empty) as the list named, to expire
  // at expires.
  void ServeBuildList(const std::string& version, const std::string& key, int64_t expires,
                      const std::string& list = "TDY-UPLINK") {
    auto buildList = VendraBuild::ObjectWithout(LoadObject(BuildListJson()).get(),
                                                u"release_signature");
    auto live = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    live->SetStringA(u"version", version);
    buildList->Set(u"live", live.get());
    if (!key.empty()) {
      VendraBuild::PublisherKey signer;
      std::u16string error;
      ASSERT_TRUE(signer.Load(keys_.WSub(key), error));
      ASSERT_TRUE(VendraBuild::SignBuildList(buildList.get(), signer, list, expires, error));
    }
    std::string text;
    buildList->WriteJSONA(text, false, 0, "\n");
    ServeBuildText(text, "vclient/builds");
  }

  // The program of version replaced by other bytes after it was code-signed;
  // the build object lists the new bytes and is signed again, as a
  // publisher's compromised build machine would hand it over.
  void AlterProgramAfterSigning(const std::string& version) {
    const std::string folder = serviceRoot_.Sub("catalogue/tdy/live/" + version + "/files");
    WriteTextFile(folder_.Sub("evil.exe"), "#!/bin/sh\necho owned\n");
    int32_t size = 0, compressedSize = 0;
    std::u16string error;
    ASSERT_EQ(VendraClient::DeflateFile(7, folder_.WSub("evil.exe"), size,
                                        VendraText::Utf8ToUtf16(folder + "/Tandory.exe.z"),
                                        compressedSize, error),
              VendraClient::eVClientResult::Success);
    std::string digest, compressedDigest;
    ASSERT_TRUE(VendraClient::GetFileDigest(folder_.WSub("evil.exe"), digest));
    ASSERT_TRUE(VendraClient::GetFileDigest(VendraText::Utf8ToUtf16(folder + "/Tandory.exe.z"),
                                            compressedDigest));
    auto build = LoadObject(BuildJson(version));
    ASSERT_TRUE(build);
    Vendra::RefPtr<VSJObject> data, signature;
    Vendra::RefPtr<VendraJSON::VSJArray> files;
    ASSERT_TRUE(build->GetObject(u"data", data.Receive()) &&
                data->GetArray(u"files", files.Receive()) &&
                build->GetObject(u"release_signature", signature.Receive()));
    for (auto* holder : *files) {
      Vendra::RefPtr<VendraJSON::VSJValue> value;
      holder->GetValue(value.Receive());
      auto* entry = static_cast<VSJObject*>(value.get());
      std::string name;
      if (!entry->GetStringA(u"filename", name) || name != "Tandory.exe") continue;
      entry->SetInteger(u"size", size);
      entry->SetStringA(u"sha256", digest);
      entry->SetInteger(u"compressed_size", compressedSize);
      entry->SetStringA(u"compressed_sha256", compressedDigest);
    }
    VendraBuild::SignedRelease release{"tdy", "live", version, 0, 0, ""};
    ASSERT_TRUE(signature->GetInteger(u"expires", release.expires) &&
                signature->GetInteger(u"counter", release.counter));
    VendraBuild::PublisherKey key;
    ASSERT_TRUE(key.Load(keys_.WSub("publisher"), error));
    ASSERT_TRUE(VendraBuild::SignBuild(build.get(), key, release, error));
    int errorCode = 0;
    ASSERT_TRUE(build->SaveFile(errorCode, VendraText::Utf8ToUtf16(BuildJson(version))));
  }

  struct Refusal {
    const char* what;
    std::function<void()> prepare;
    std::string version;
    std::string options;
    std::string refusal;
    bool downloadsFiles = false;  // refused only after the download, before placing
    std::string heading = "The build was refused";
  };

  // Each attack is refused and leaves the installed version, its files and
  // its record as they were (installed empty: the folder holds no install).
  // Each row leaves the machine as set up: the service's address and CA, the
  // stored session and the machine's identifier.
  void ExpectEachRefused(const std::vector<Refusal>& cases, const std::string& installed) {
    const std::string record = ReadFile(installFolder_ + "/VendraBuild.install.json");
    const std::string session = ReadFile(SessionFile());
    for (const Refusal& c : cases) {
      SCOPED_TRACE(c.what);
      c.prepare();
      const int downloadsBefore = service_->CountRequests("vclient/download");
      // The run's one reason, word for word on standard error, in the JSON
      // summary and in the log.
      const std::string logFile = folder_.Sub("refused.log");
      fs::remove(logFile);
      std::string out, err;
      EXPECT_EQ(RunSplit(InstallCommand(c.version, c.options + " --json --log " + Quoted(logFile)),
                         out, err),
                1)
          << err;
      const size_t said = err.rfind("VendraBuild: ");
      const size_t codeAt = err.rfind(" (error code ");
      ASSERT_TRUE(said != std::string::npos && codeAt != std::string::npos && codeAt > said)
          << err;
      const std::string text = err.substr(said + 13, codeAt - said - 13);
      const int code = std::atoi(err.c_str() + codeAt + 13);
      EXPECT_EQ(text.rfind(c.heading, 0), 0u) << text;
      EXPECT_NE(text.find(c.refusal), std::string::npos) << text;
      EXPECT_LT(code, 0) << err;
      ASSERT_GE(out.size(), 2u);
      const auto summary = nlohmann::json::parse(out.substr(out.rfind('\n', out.size() - 2) + 1),
                                                 nullptr, false);
      EXPECT_EQ(summary.value("event", ""), "summary") << out;
      EXPECT_EQ(summary.value("error", ""), text) << out;
      EXPECT_EQ(summary.value("code", 0), code) << out;
      const std::string log = ReadFile(logFile);
      EXPECT_NE(log.find("failed (error code " + std::to_string(code) + "): " + text),
                std::string::npos)
          << log;
      if (!c.downloadsFiles) {
        EXPECT_EQ(service_->CountRequests("vclient/download"), downloadsBefore)
            << "refused before anything was downloaded";
      }
      if (installed.empty()) {
        EXPECT_FALSE(fs::exists(installFolder_ + "/Tandory.exe"));
      } else {
        EXPECT_EQ(FilesNotMatching(installFolder_, BuildJson(installed)), 0u);
        EXPECT_EQ(ReadFile(installFolder_ + "/data/welcome.txt"),
                  "Welcome to Tandory " + installed + ".\n");
      }
      EXPECT_EQ(ReadFile(installFolder_ + "/VendraBuild.install.json"), record);
      ASSERT_TRUE(service_->ClearScript());
      ::setenv("VENDRA_SERVICE_URL", service_->url().c_str(), 1);
      ::setenv("VENDRA_CA_FILE", service_->caFile().c_str(), 1);
      WriteTextFile(SessionFile(), session);
      WriteServiceFile(machine_.path(), "etc/machine-id", kMachineId);
    }
  }

  TempFolder machine_;
  TempFolder serviceRoot_;
  TempFolder folder_;
  TempFolder keys_;
  TempFolder pki_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::string installFolder_;
};

TEST_F(SignedReleaseTest, OnlyWhatThePublisherSignedIsInstalledAndARefusalLeavesTheInstallAlone) {
  std::string output;
  ASSERT_EQ(Install("2.5.1", output), 0) << output;
  ASSERT_EQ(FilesNotMatching(installFolder_, BuildJson("2.5.1")), 0u);
  EXPECT_TRUE(fs::exists(installFolder_ + "/Tandory.exe.p7s")) << "the detached signature";
  EXPECT_EQ(LoadObject(installFolder_ + "/VendraBuild.install.json") ? 0 : 1, 0);
  const std::string record = ReadFile(installFolder_ + "/VendraBuild.install.json");
  EXPECT_NE(record.find("\"release_counter\":5"), std::string::npos) << record;

  const std::string now = std::to_string(std::time(nullptr));
  ExpectEachRefused({
      {"one byte of the build object changed",
       [&] {
         Publish("2.6.0");
         // The signed release counter raised by one digit.
         std::string text = ReadFile(BuildJson("2.6.0"));
         const size_t counter = text.find("\"counter\":");
         ASSERT_NE(counter, std::string::npos) << text;
         text.insert(counter + 10, "9");
         ServeBuildText(text);
       },
       "2.6.0", "", "does not match its signature", false},
      {"a file's digest changed in the list",
       [&] {
         Publish("2.6.0");
         const std::string text = ReadFile(BuildJson("2.6.0"));
         const size_t digest = text.find("\"sha256\": \"") + 11;
         ServeBuildText(text.substr(0, digest) + (text[digest] == '0' ? "1" : "0") +
                        text.substr(digest + 1));
       },
       "2.6.0", "", "does not match its signature", false},
      {"a build signed by another key", [&] { Publish("2.6.0", "", "stranger"); }, "2.6.0", "",
       "not a trusted publisher key", false},
      {"an expired signature", [&] { Publish("2.6.0", "--expires-at " + now); }, "2.6.0", "",
       "expired", false},
      {"an older signed build after a newer one", [] {}, "2.4.0", "--allow-downgrade",
       "Rollback refused", false},
      {"an older version", [&] { Publish("2.4.0", "--counter 40"); }, "2.4.0", "",
       "Downgrade refused", false},
      {"an older signed build served for a newer version",
       [&] { ServeBuildText(ReadFile(BuildJson("2.5.1"))); }, "2.6.0", "",
       "not the requested", false},
      {"an unsigned build",
       [&] {
         Publish("2.6.0");
         std::string text;
         VendraBuild::ObjectWithout(LoadObject(BuildJson("2.6.0")).get(), u"release_signature")
             ->WriteJSONA(text, false, 0, "\n");
         ServeBuildText(text);
       },
       "2.6.0", "", "The build is not signed", false},
      {"a signed program altered after signing",
       [&] {
         Publish("2.6.0");
         AlterProgramAfterSigning("2.6.0");
       },
       "2.6.0", "", "code signature of Tandory.exe was refused: Error code 0x80096010", true},
      {"a program signed by an untrusted certificate",
       [&] { Publish("2.6.0", "", "publisher", "impostor"); }, "2.6.0", "",
       "code signature of Tandory.exe was refused: Error code 0x800b0109", true},
      {"a revocation signed by the key it revokes",
       [&] {
         KeyCarrying("self-revoking", "publisher", "publisher");
         Publish("2.6.0", "", "self-revoking");
       },
       "2.6.0", "",
       "Key revocation refused: revocation 1 is signed by key " + KeyIdOf("publisher") +
           ", the key it revokes"},
      {"a forged revocation",
       [&] {
         KeyCarrying("forging", "root", "stranger", Tamper::kForged);
         Publish("2.6.0", "", "forging");
       },
       "2.6.0", "", "revocation 1 does not match its signature by key " + KeyIdOf("root")},
      {"an unsigned revocation",
       [&] {
         KeyCarrying("unsigned-revocation", "root", "stranger", Tamper::kUnsigned);
         Publish("2.6.0", "", "unsigned-revocation");
       },
       "2.6.0", "", "revocation 1: its \"value\" is missing"},
      {"a build the service does not have", [] {}, "9.9", "", "Unknown build", false,
       "Failed to get the build"},
      // Not reaching the service names the setting to check and the address.
      {"a service that does not answer",
       [] { ::setenv("VENDRA_SERVICE_URL", "https://127.0.0.1:1/", 1); }, "2.5.1", "",
       "curl error 7: ", false, "Failed to get the build"},
      {"a CA that did not issue the service's certificate",
       [&] { ::setenv("VENDRA_CA_FILE", pki_.Sub("unknown-ca.pem").c_str(), 1); }, "2.5.1", "",
       "the CA file " + pki_.Sub("unknown-ca.pem") + " (named by VENDRA_CA_FILE)", false,
       "Failed to get the build"},
      {"a CA file that is not there",
       [&] { ::setenv("VENDRA_CA_FILE", folder_.Sub("no-such-ca.pem").c_str(), 1); }, "2.5.1", "",
       "VENDRA_CA_FILE names is missing or cannot be read: check VENDRA_CA_FILE (the service "
       "address is " + service_->url() + ")",
       false, "Failed to get the build"},
      {"a device the service no longer authorises",
       [&] {
         ASSERT_TRUE(service_->Script(
             "vclient/build",
             R"([{"status":403,"body":"{\"error\":\"device auth required\"}"}])"));
       },
       "2.5.1", "", "device auth required", false, "Failed to get the build"},
      {"an unattended run on a device not authorised",
       [&] {
         std::string text = ReadFile(SessionFile());
         const size_t token = text.find("\"local_token\"");
         ASSERT_NE(token, std::string::npos) << text;
         text.replace(token, 13, "\"no_token\"");
         WriteTextFile(SessionFile(), text);
       },
       "2.5.1", "--non-interactive", "Sign in on this machine first", false,
       "Device authorization needs a person"},
      {"a machine without an identifier", [&] { fs::remove(machine_.Sub("etc/machine-id")); },
       "2.5.1", "", machine_.Sub("etc/machine-id") + ", which is missing", false,
       "This device cannot be authorised"},
  }, "2.5.1");

  // A good newer release still installs over it.
  ASSERT_EQ(Publish("2.6.0"), 0);
  output.clear();
  ASSERT_EQ(Install("2.6.0", output), 0) << output;
  EXPECT_EQ(ReadFile(installFolder_ + "/data/welcome.txt"), "Welcome to Tandory 2.6.0.\n");
  // Its counter, one more than the highest published so far, is recorded.
  auto published = LoadObject(BuildJson("2.6.0"));
  auto installed = LoadObject(installFolder_ + "/VendraBuild.install.json");
  Vendra::RefPtr<VSJObject> signature;
  int64_t counter = 0, recorded = 0;
  ASSERT_TRUE(published && installed &&
              published->GetObject(u"release_signature", signature.Receive()) &&
              signature->GetInteger(u"counter", counter) &&
              installed->GetInteger(u"release_counter", recorded));
  EXPECT_GT(counter, 40);
  EXPECT_EQ(recorded, counter);
}

// What the service says is live decides what a fresh install gets (the
// installer hands its version to the package manager): only the publisher's
// current signed list may name it, and nothing older installs.
TEST_F(SignedReleaseTest, AFreshInstallIsHeldToTheLiveVersionOfThePublishersSignedBuildList) {
  const int64_t now = std::time(nullptr);
  const int64_t week = now + 7 * 86400;
  ExpectEachRefused({
      {"an old release the genuine list does not name", [] {}, "2.4.0", "",
       "the publisher's signed build list TDY-UPLINK names 2.5.1 as live on branch live; 2.4.0 "
       "is older", false, "The build list was refused"},
      {"an old release named by an unsigned list", [&] { ServeBuildList("2.4.0", "", 0); },
       "2.4.0", "", "The build list is not signed by its publisher", false,
       "The build list was refused"},
      {"an old release named by a stale signed list",
       [&] { ServeBuildList("2.4.0", "publisher", now - 60); }, "2.4.0", "",
       "The build list's signature expired on " + VendraBuild::UtcText(now - 60), false,
       "The build list was refused"},
      {"an old release named by a list of an untrusted key",
       [&] { ServeBuildList("2.4.0", "stranger", week); }, "2.4.0", "",
       "The build list is signed by key " + KeyIdOf("stranger") +
           ", which is not a trusted publisher key", false, "The build list was refused"},
      {"the genuine list altered to name an old release",
       [&] {
         std::string text = ReadFile(BuildListJson());
         text.replace(text.find("2.5.1"), 5, "2.4.0");
         ServeBuildText(text, "vclient/builds");
       },
       "2.4.0", "", "The build list does not match its signature", false,
       "The build list was refused"},
      {"the signed list of another product", [&] { ServeBuildList("2.4.0", "publisher", week, "OTHER"); },
       "2.4.0", "", "The signed build list is OTHER's, not TDY-UPLINK's", false,
       "The build list was refused"},
  }, "");

  // The publisher's schedule signs the list again before it expires; its
  // live version installs, an older one only on purpose.
  std::string output;
  ASSERT_EQ(RunShell(Quoted(VENDRA_CATALOGUE_PROGRAM) + " sign-list --root " +
                         Quoted(serviceRoot_.path()) + " --key " +
                         Quoted(keys_.Sub("publisher")) + " --expires-days 2",
                     &output),
            0)
      << output;
  Vendra::RefPtr<VSJObject> signature;
  int64_t expires = 0;
  ASSERT_TRUE(LoadObject(BuildListJson())->GetObject(u"release_signature", signature.Receive()) &&
              signature->GetInteger(u"expires", expires));
  EXPECT_NEAR(static_cast<double>(expires), static_cast<double>(now + 2 * 86400), 600.0);
  ASSERT_EQ(Install("2.5.1", output), 0) << output;
  EXPECT_EQ(FilesNotMatching(installFolder_, BuildJson("2.5.1")), 0u);
  fs::remove_all(installFolder_);
  output.clear();
  ASSERT_EQ(Install("2.4.0", output, "--allow-downgrade"), 0) << output;
  EXPECT_EQ(FilesNotMatching(installFolder_, BuildJson("2.4.0")), 0u);
}

// The publisher's signing key leaked; with it, a release whose counter is
// the highest there is went to a machine, which then refused every genuine
// release as a rollback. The pinned root revokes the key: the fix, signed by
// a new key the root vouched for, carries the revocation and installs, and
// the leaked key signs nothing there any more.
TEST_F(SignedReleaseTest, AfterAKeyLeakThePublishersRevocationLetsTheFixInstall) {
  std::string output;
  ASSERT_EQ(Install("2.5.1", output), 0) << output;
  ASSERT_EQ(Publish("2.6.0", "--counter 9223372036854775807"), 0);
  ASSERT_EQ(Install("2.6.0", output), 0) << output;
  ASSERT_EQ(Publish("2.6.1", "--counter 11"), 0);
  output.clear();
  EXPECT_EQ(Install("2.6.1", output), 1);
  EXPECT_NE(output.find("Rollback refused: the build's release counter 11 is lower than "
                        "9223372036854775807"),
            std::string::npos)
      << output;

  const std::string leaked = KeyIdOf("publisher");
  ASSERT_EQ(Keygen("successor", "root"), 0);
  ASSERT_EQ(RunShell(Quoted(VENDRA_CATALOGUE_PROGRAM) + " revoke --signed-by " +
                         Quoted(keys_.Sub("root")) + " --key-id " + leaked +
                         " --reset-counter 5 " + Quoted(keys_.Sub("successor")),
                     &output),
            0)
      << output;
  // Without --counter: the leaked key's release counts for no more than 5.
  ASSERT_EQ(Publish("2.6.1", "", "successor"), 0);
  output.clear();
  ASSERT_EQ(Install("2.6.1", output), 0) << output;
  EXPECT_EQ(FilesNotMatching(installFolder_, BuildJson("2.6.1")), 0u);
  const std::string record = ReadFile(installFolder_ + "/VendraBuild.install.json");
  EXPECT_NE(record.find("\"release_counter\":6"), std::string::npos) << record;

  ASSERT_EQ(Keygen("minted", "publisher"), 0);
  ExpectEachRefused(
      {
          {"the leaked key's next release", [&] { Publish("2.7.0", "--counter 12"); }, "2.7.0",
           "", "The build is signed by key " + leaked + ", which its publisher revoked"},
          {"a key the leaked key vouched for", [&] { Publish("2.7.0", "--counter 13", "minted"); }, "2.7.0",
           "", "signed by key " + leaked + ", which its publisher revoked"},
      },
      "2.6.1");
}

}  // namespace
}  // namespace VendraTest
