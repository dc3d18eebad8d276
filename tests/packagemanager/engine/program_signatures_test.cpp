// The package manager's code-signature check of a build's programs: on the
// copy expanded from the download before anything is placed, and on the
// installed program, which is removed when it fails. Windows (under Wine)
// uses a program signed with Authenticode at build time; elsewhere a
// detached signature made here by a certificate the machine trusts. Wine
// accepts any signer, so only the altered program is refused there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text/utf.h"
#include "install/codec.h"
#include "install/v_build_client.h"
#include "packagemanager/engine/program_signatures.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace VendraBuild {
namespace {

namespace fs = std::filesystem;
using VendraTest::TempFolder;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class ProgramSignaturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // Made beside the test program when it was built.
    const fs::path beside = fs::path(VendraPlatform::ModuleFileName()).parent_path();
    signed_ = ReadAll(beside / "signature_sample_signed.exe");
    altered_ = ReadAll(beside / "signature_sample_altered.exe");
#else
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    fs::create_directories(machine_.Sub("etc/vendra/trusted"));
    const std::string key = pki_.Sub("signer.key"), cert = pki_.Sub("signer.pem");
    ASSERT_EQ(std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1"
                           " -nodes -keyout '" + key + "' -out '" + cert + "' -days 2"
                           " -subj /CN=publisher -addext extendedKeyUsage=codeSigning"
                           " >/dev/null 2>&1").c_str()),
              0);
    fs::copy_file(cert, machine_.Sub("etc/vendra/trusted/publisher.pem"));
    signed_ = "#!/bin/sh\necho signed\n";
    WriteAll(pki_.Sub("program"), signed_);
    ASSERT_EQ(std::system(("openssl cms -sign -binary -md sha256 -in '" + pki_.Sub("program") +
                           "' -signer '" + cert + "' -inkey '" + key +
                           "' -outform DER -out '" + pki_.Sub("program.p7s") + "'").c_str()),
              0);
    detached_ = ReadAll(pki_.Sub("program.p7s"));
    altered_ = "#!/bin/sh\necho change\n";
#endif
    ASSERT_FALSE(signed_.empty());
    ASSERT_EQ(signed_.size(), altered_.size());
  }
  void TearDown() override { VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  // A build of one program, marked signed, with its detached signature where
  // the system uses one; each file's ".z" in the download folder.
  VendraClient::BuildFileList Build(const std::string& program) {
    VendraClient::BuildFileList files(1);
    files[0].name = u"bin\\Tandory.exe";
    files[0].size = program.size();
    files[0].isSigned = true;
    Pack("bin/Tandory.exe", program);
    if (!detached_.empty()) {
      files.emplace_back().name = u"bin\\Tandory.exe.p7s";
      files.back().size = detached_.size();
      Pack("bin/Tandory.exe.p7s", detached_);
    }
    return files;
  }
  void Pack(const std::string& name, const std::string& bytes) {
    fs::create_directories(fs::path(downloads_.Sub(name)).parent_path());
    WriteAll(folder_.Sub("plain"), bytes);
    int32_t in = 0, out = 0;
    std::u16string error;
    ASSERT_EQ(VendraClient::DeflateFile(6, folder_.WSub("plain"), in,
                                        downloads_.WSub(name + ".z"), out, error),
              VendraClient::eVClientResult::Success);
  }
  // Places the program (and its signature) as an install would.
  void Place(const std::string& program) {
    fs::create_directories(install_.Sub("bin"));
    WriteAll(install_.Sub("bin/Tandory.exe"), program);
    if (!detached_.empty()) WriteAll(install_.Sub("bin/Tandory.exe.p7s"), detached_);
  }

  TempFolder machine_, pki_, folder_, downloads_, install_;
  std::string signed_, altered_, detached_;
  VendraClient::VBuildClient buildClient_;
};

TEST_F(ProgramSignaturesTest, ASignedProgramPassesBeforeAndAfterPlacing) {
  auto build = Build(signed_);
  std::u16string error;
  EXPECT_TRUE(CheckDownloadedPrograms(buildClient_, build, downloads_.wpath(), error))
      << VendraText::Utf16ToUtf8(error);
  // The copy under check is gone again; the downloads are as they were.
  EXPECT_FALSE(fs::exists(downloads_.Sub("bin/Tandory.exe.signature-check")));
  EXPECT_FALSE(fs::exists(downloads_.Sub("bin/Tandory.exe.signature-check.p7s")));
  EXPECT_TRUE(fs::exists(downloads_.Sub("bin/Tandory.exe.z")));
  Place(signed_);
  EXPECT_TRUE(CheckInstalledPrograms(buildClient_, build, install_.wpath(), error))
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadAll(install_.Sub("bin/Tandory.exe")), signed_);
}

TEST_F(ProgramSignaturesTest, AnAlteredProgramIsRefusedAndNeverLeftInstalled) {
  auto build = Build(altered_);
  std::u16string error;
  EXPECT_FALSE(CheckDownloadedPrograms(buildClient_, build, downloads_.wpath(), error));
  EXPECT_EQ(VendraText::Utf16ToUtf8(error),
            "The code signature of bin\\Tandory.exe was refused: Error code 0x80096010");
  EXPECT_FALSE(fs::exists(downloads_.Sub("bin/Tandory.exe.signature-check")));

  Place(altered_);
  error.clear();
  EXPECT_FALSE(CheckInstalledPrograms(buildClient_, build, install_.wpath(), error));
  EXPECT_EQ(VendraText::Utf16ToUtf8(error),
            "The code signature of bin\\Tandory.exe was refused: Error code 0x80096010");
  EXPECT_FALSE(fs::exists(install_.Sub("bin/Tandory.exe"))) << "the failing program stays";
}

TEST_F(ProgramSignaturesTest, AProgramMarkedSignedWithoutASignatureIsRefused) {
  // The build claims a signature the program does not carry (the unsigned
  // program itself on Windows; no ".p7s" elsewhere).
#ifdef _WIN32
  const std::string program = ReadAll(VendraPlatform::ModuleFileName());
#else
  const std::string program = signed_;
#endif
  detached_.clear();
  auto build = Build(program);
  std::u16string error;
  EXPECT_FALSE(CheckDownloadedPrograms(buildClient_, build, downloads_.wpath(), error));
  EXPECT_EQ(VendraText::Utf16ToUtf8(error),
            "The code signature of bin\\Tandory.exe was refused: The file is not signed.");
}

}  // namespace
}  // namespace VendraBuild
