// Publishing Windows programs signed inside (Authenticode, by osslsigncode):
// the published program carries a signature osslsigncode itself accepts,
// the source stays as it was, and a program that cannot be signed stops the
// publish before a build is written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text/utf.h"
#include "install/codec.h"
#include "packagemanager/publisher/catalogue_publish.h"
#include "packagemanager/publisher/code_signing.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put16(std::string& bytes, size_t at, uint16_t value) {
  for (int i = 0; i < 2; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}
void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// The smallest Windows program the signing tool takes: DOS stub header, PE
// header, a 64-bit optional header with its sixteen directories, and one
// code section holding a return.
std::string MinimalWindowsProgram() {
  std::string pe(0x400, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  Put32(pe, 0x3c, 0x40);
  pe.replace(0x40, 4, std::string("PE\0\0", 4));
  Put16(pe, 0x44, 0x8664);      // machine: x86-64
  Put16(pe, 0x46, 1);           // one section
  Put16(pe, 0x54, 240);         // optional header size
  Put16(pe, 0x56, 0x0022);      // executable, large addresses
  const size_t optional = 0x58;
  Put16(pe, optional, 0x20b);   // PE32+
  Put32(pe, optional + 16, 0x1000);  // entry point
  Put32(pe, optional + 24, 0x40000000);  // image base (low half)
  Put32(pe, optional + 32, 0x1000);  // section alignment
  Put32(pe, optional + 36, 0x200);   // file alignment
  Put16(pe, optional + 48, 6);       // subsystem version
  Put32(pe, optional + 56, 0x2000);  // image size
  Put32(pe, optional + 60, 0x200);   // header size
  Put16(pe, optional + 68, 3);       // console subsystem
  Put32(pe, optional + 108, 16);     // directories
  const size_t section = optional + 240;
  pe.replace(section, 5, ".text");
  Put32(pe, section + 8, 0x1000);
  Put32(pe, section + 12, 0x1000);
  Put32(pe, section + 16, 0x200);
  Put32(pe, section + 20, 0x200);
  Put32(pe, section + 36, 0x60000020);
  pe[0x200] = static_cast<char>(0xc3);
  return pe;
}

class AuthenticodeSigningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + Key() +
                           "' -out '" + Cert() + "' -days 2 -subj /CN=publisher"
                           " -addext extendedKeyUsage=codeSigning >/dev/null 2>&1").c_str()),
              0);
    // A folder name with a space: the signing tool gets it as one argument.
    fs::create_directories(folder_.Sub("my product/data"));
    program_ = MinimalWindowsProgram();
    std::ofstream(folder_.Sub("my product/Tandory.exe"), std::ios::binary) << program_;
    WriteTextFile(folder_.Sub("my product/data/readme.txt"), "read me");
  }
  std::string Cert() const { return pki_.Sub("cert.pem"); }
  std::string Key() const { return pki_.Sub("key.pem"); }

  VendraCatalogue::PublishRequest Request() const {
    VendraCatalogue::PublishRequest request;
    request.root = folder_.WSub("root");
    request.product = "tdy";
    request.branch = "live";
    request.version = "3.0.0";
    request.folder = folder_.WSub("my product");
    const VendraBuild::CodeSigner signer{VendraText::Utf8ToUtf16(Cert()),
                                         VendraText::Utf8ToUtf16(Key())};
    request.embedSignature = [signer](const std::u16string& program,
                                      const std::u16string& signedCopy, std::u16string& error) {
      return VendraBuild::SignAuthenticode(signer, program, signedCopy, error);
    };
    return request;
  }

  TempFolder folder_, pki_;
  std::string program_;
};

TEST_F(AuthenticodeSigningTest, TheProgramIsPublishedSignedInsideAndItsSourceIsLeftAlone) {
  VendraCatalogue::PublishResult result;
  std::u16string error;
  ASSERT_TRUE(VendraCatalogue::Publish(Request(), nullptr, result, error))
      << VendraText::Utf16ToUtf8(error);
  const std::string build = ReadAll(folder_.Sub("root/catalogue/tdy/live/3.0.0/build.json"));
  EXPECT_NE(build.find("\"signed\":true"), std::string::npos) << build;
  EXPECT_EQ(build.find("\"signed\":true"), build.rfind("\"signed\":true")) << "only the program";
  EXPECT_EQ(build.find(".p7s"), std::string::npos) << "the signature is inside the program";
  EXPECT_EQ(ReadAll(folder_.Sub("my product/Tandory.exe")), program_);

  // The listed size is the signed program's.
  const size_t entry = build.find("Tandory.exe");
  const size_t sizeAt = build.find("\"size\":", entry) + 7;
  const uint32_t listed = static_cast<uint32_t>(std::stoul(build.substr(sizeAt)));
  EXPECT_GT(listed, program_.size());
  int32_t size = 0;
  ASSERT_EQ(VendraClient::InflateFile(
                folder_.WSub("root/catalogue/tdy/live/3.0.0/files/Tandory.exe.z"), listed,
                folder_.WSub("published.exe"), size, error),
            VendraClient::eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_FALSE(fs::exists(folder_.Sub("root/catalogue/tdy/live/3.0.0/files/Tandory.exe.signing")));
  EXPECT_EQ(std::system(("osslsigncode verify -CAfile '" + Cert() + "' -in '" +
                         folder_.Sub("published.exe") + "' >/dev/null 2>&1").c_str()),
            0);
}

TEST_F(AuthenticodeSigningTest, AProgramThatCannotBeSignedStopsThePublish) {
  std::u16string error;
  // Not a Windows program: the tool refuses it.
  WriteTextFile(folder_.Sub("my product/Tandory.exe"), "#!/bin/sh\n");
  VendraCatalogue::PublishResult result;
  EXPECT_FALSE(VendraCatalogue::Publish(Request(), nullptr, result, error));
  EXPECT_NE(VendraText::Utf16ToUtf8(error).find("osslsigncode could not sign"), std::string::npos)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_FALSE(fs::exists(folder_.Sub("root/catalogue/tdy/live/3.0.0/build.json")));
  EXPECT_FALSE(fs::exists(folder_.Sub("root/catalogue/tdy/live/3.0.0/files/Tandory.exe.signing")));

  // No signing tool on the search path.
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  SetEnvironment("PATH", folder_.Sub("nothing-here"));
  const bool signedAnyway = VendraBuild::SignAuthenticode(
      {VendraText::Utf8ToUtf16(Cert()), VendraText::Utf8ToUtf16(Key())},
      folder_.WSub("my product/Tandory.exe"), folder_.WSub("signed.exe"), error);
  SetEnvironment("PATH", saved);
  EXPECT_FALSE(signedAnyway);
  EXPECT_FALSE(fs::exists(folder_.Sub("signed.exe")));
  EXPECT_NE(VendraText::Utf16ToUtf8(error).find("cannot start osslsigncode"), std::string::npos)
      << VendraText::Utf16ToUtf8(error);
}

}  // namespace
}  // namespace VendraTest
