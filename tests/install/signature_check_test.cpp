// Detached signatures made here with the openssl command line, checked by the
// platform layer and judged by VerifySignature.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/text/utf.h"
#include "install/signature_verification.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace {

using VendraClient::eVClientResult;
using VendraClient::VerifySignature;
using VendraTest::TempFolder;
using VendraTest::WriteTextFile;

bool RunCommand(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::u16string Wide(const std::string& path) { return VendraText::Utf8ToUtf16(path); }

// Two certificate authorities, only the first of which the tests trust, and
// signers issued by them. Made once per test program: keys cost time.
class Pki {
 public:
  Pki() {
    ok_ = MakeAuthority("trusted-ca", "Vendra Test Root") &&
          MakeAuthority("other-ca", "Unknown Test Root") &&
          MakeSigner("signer", "trusted-ca", "codeSigning") &&
          MakeSigner("stranger", "other-ca", "codeSigning") &&
          MakeSigner("web", "trusted-ca", "serverAuth");
  }
  static const Pki& Shared() {
    static const Pki pki;
    return pki;
  }
  bool ok() const { return ok_; }
  std::string Cert(const std::string& name) const { return folder_.Sub(name + ".pem"); }
  std::string Key(const std::string& name) const { return folder_.Sub(name + ".key"); }

 private:
  bool MakeAuthority(const std::string& name, const std::string& subject) {
    return RunCommand("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
               " -keyout " + Quoted(Key(name)) + " -out " + Quoted(Cert(name)) + " -days 2"
               " -subj '/CN=" + subject + "'"
               " -addext basicConstraints=critical,CA:TRUE"
               " -addext keyUsage=critical,keyCertSign");
  }
  bool MakeSigner(const std::string& name, const std::string& issuer, const std::string& usage) {
    const std::string ext = folder_.Sub(name + ".ext");
    WriteTextFile(ext, "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature\n"
                       "extendedKeyUsage=" + usage + "\n");
    const std::string csr = folder_.Sub(name + ".csr");
    return RunCommand("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
               " -keyout " + Quoted(Key(name)) + " -out " + Quoted(csr) +
               " -subj '/CN=" + name + " of Vendra Tests'") &&
           RunCommand("openssl x509 -req -in " + Quoted(csr) + " -CA " + Quoted(Cert(issuer)) +
               " -CAkey " + Quoted(Key(issuer)) + " -CAcreateserial -days 2 -out " +
               Quoted(Cert(name)) + " -extfile " + Quoted(ext));
  }

  TempFolder folder_;
  bool ok_ = false;
};

class SignatureCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Pki::Shared().ok()) << "openssl could not make the test certificates";
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    std::filesystem::create_directories(machine_.Sub("etc/vendra/trusted"));
    std::filesystem::create_directories(machine_.Sub("etc/vendra/disallowed"));
    std::filesystem::copy_file(Pki::Shared().Cert("trusted-ca"),
                               machine_.Sub("etc/vendra/trusted/root.pem"));
    WriteTextFile(files_.Sub("tool.exe"), "MZ pretend program\n" + std::string(5000, 'x'));
  }
  void TearDown() override { VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  bool Sign(const std::string& file, const std::string& signer,
            const std::string& extra = "-outform DER") {
    const Pki& pki = Pki::Shared();
    return RunCommand("openssl cms -sign -binary -md sha256 -in " + Quoted(file) + " -signer " +
               Quoted(pki.Cert(signer)) + " -inkey " + Quoted(pki.Key(signer)) + " " + extra +
               " -out " + Quoted(file + ".p7s"));
  }

  // The code and text VerifySignature gives for the file.
  std::u16string Verify(const std::string& file, eVClientResult expected) {
    std::u16string error = u"earlier text";
    EXPECT_EQ(VerifySignature(Wide(file), error), expected);
    return error;
  }

  TempFolder machine_;
  TempFolder files_;
};

TEST_F(SignatureCheckTest, SignedByATrustedSignerPasses) {
  const std::string file = files_.Sub("tool.exe");
  ASSERT_TRUE(Sign(file, "signer"));
  EXPECT_EQ(Verify(file, eVClientResult::Success), u"earlier text");
}

TEST_F(SignatureCheckTest, PemSignatureWithTheAuthorityIncludedPasses) {
  const std::string file = files_.Sub("tool.exe");
  ASSERT_TRUE(Sign(file, "signer",
                   "-outform PEM -certfile " + Quoted(Pki::Shared().Cert("trusted-ca"))));
  EXPECT_EQ(Verify(file, eVClientResult::Success), u"earlier text");
}

TEST_F(SignatureCheckTest, FileWithoutSignatureIsNotSigned) {
  EXPECT_EQ(Verify(files_.Sub("tool.exe"), eVClientResult::Failed), u"The file is not signed.");
}

TEST_F(SignatureCheckTest, AlteredContentFailsTheDigest) {
  const std::string file = files_.Sub("tool.exe");
  ASSERT_TRUE(Sign(file, "signer"));
  WriteTextFile(file, "MZ pretend program\n" + std::string(4999, 'x') + "y");
  EXPECT_EQ(Verify(file, eVClientResult::Failed), u"Error code 0x80096010");
}

TEST_F(SignatureCheckTest, SignerOfAnUnknownRootIsNotTrusted) {
  const std::string file = files_.Sub("tool.exe");
  // With the unknown root carried in the signature, and without it.
  ASSERT_TRUE(Sign(file, "stranger",
                   "-outform DER -certfile " + Quoted(Pki::Shared().Cert("other-ca"))));
  EXPECT_EQ(Verify(file, eVClientResult::Failed), u"Error code 0x800b0109");
  ASSERT_TRUE(Sign(file, "stranger"));
  EXPECT_EQ(Verify(file, eVClientResult::Failed), u"Error code 0x800b0109");
}

TEST_F(SignatureCheckTest, DistrustedSignerOrRootIsDisallowed) {
  const std::string file = files_.Sub("tool.exe");
  ASSERT_TRUE(Sign(file, "signer"));
  std::filesystem::copy_file(Pki::Shared().Cert("signer"),
                             machine_.Sub("etc/vendra/disallowed/signer.pem"));
  EXPECT_EQ(Verify(file, eVClientResult::Failed),
            u"The signature is present, but specifically disallowed.");

  // Distrust of the root reaches every signer below it, and wins over the
  // root being trusted as well.
  std::filesystem::remove(machine_.Sub("etc/vendra/disallowed/signer.pem"));
  EXPECT_EQ(Verify(file, eVClientResult::Success), u"earlier text");
  std::filesystem::copy_file(Pki::Shared().Cert("trusted-ca"),
                             machine_.Sub("etc/vendra/disallowed/root.pem"));
  EXPECT_EQ(Verify(file, eVClientResult::Failed),
            u"The signature is present, but specifically disallowed.");
}

TEST_F(SignatureCheckTest, CertificateForAnotherUseIsRefused) {
  const std::string file = files_.Sub("tool.exe");
  ASSERT_TRUE(Sign(file, "web"));
  EXPECT_EQ(Verify(file, eVClientResult::Failed), u"Error code 0x800b0110");
}

TEST_F(SignatureCheckTest, DamagedOrAttachedSignatureIsABadMessage) {
  const std::string file = files_.Sub("tool.exe");
  WriteTextFile(file + ".p7s", "this is no signature");
  EXPECT_EQ(Verify(file, eVClientResult::Failed), u"Error code 0x80091004");
  // A signature that carries its own content does not vouch for the file.
  ASSERT_TRUE(Sign(file, "signer", "-outform DER -nodetach"));
  EXPECT_EQ(Verify(file, eVClientResult::Failed), u"Error code 0x80091004");
}

TEST_F(SignatureCheckTest, MissingFileDoesNotExist) {
  EXPECT_EQ(Verify(files_.Sub("missing.exe"), eVClientResult::Failed),
            u"CRYPT_E_FILE_ERROR - File does not exist.");
  EXPECT_EQ(Verify(files_.Sub("no-folder/missing.exe"), eVClientResult::Failed),
            u"CRYPT_E_FILE_ERROR - File does not exist.");
}

TEST_F(SignatureCheckTest, FolderCannotBeRead) {
  EXPECT_EQ(Verify(files_.path(), eVClientResult::Failed),
            u"CRYPT_E_FILE_ERROR - Failed to read the file.");
}

// Root reads every file, so the unreadable cases run in an unprivileged child.
TEST_F(SignatureCheckTest, UnreadableFileOrSignatureFailsToRead) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to make a real denial";
  const std::string file = files_.Sub("tool.exe");
  ASSERT_TRUE(Sign(file, "signer"));
  ::chmod((file + ".p7s").c_str(), 0644);
  ::chmod(machine_.Sub("etc/vendra/trusted/root.pem").c_str(), 0644);

  const auto childVerdict = [&](const std::u16string& expected) {
    return VendraTest::RunUnprivileged([&] {
      std::u16string error;
      const eVClientResult result = VerifySignature(Wide(file), error);
      if (result != eVClientResult::Failed) return 1;
      return error == expected ? 0 : 2;
    });
  };
  ::chmod(file.c_str(), 0600);
  EXPECT_EQ(childVerdict(u"CRYPT_E_FILE_ERROR - Failed to read the file."), 0);

  ::chmod(file.c_str(), 0644);
  ::chmod((file + ".p7s").c_str(), 0600);
  EXPECT_EQ(childVerdict(u"CRYPT_E_FILE_ERROR - Failed to read the file."), 0);

  // Both readable again: the same child finds the signature good.
  ::chmod((file + ".p7s").c_str(), 0644);
  EXPECT_EQ(VendraTest::RunUnprivileged([&] {
              std::u16string error;
              return VerifySignature(Wide(file), error) ==
                             eVClientResult::Success
                         ? 0
                         : 1;
            }),
            0);
}

}  // namespace
