// The trust provider under Wine: an unsigned program, a signed one, a signed
// one altered after signing, and a missing file. The signed programs are
// made at build time with osslsigncode and a throw-away certificate; Wine
// does not judge who signed, so untrusted and distrusted signers are covered
// by the POSIX tests only.
#include <gtest/gtest.h>

#include <string>

#include "common/text/utf.h"
#include "install/signature_verification.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace {

using VendraClient::eVClientResult;
using VendraClient::VerifySignature;

std::u16string BesideTheTest(const char16_t* name) {
  return VendraPlatform::PathAppend(VendraPlatform::FolderOf(VendraPlatform::ModuleFileName()),
                                    name);
}

TEST(SignatureCheckWin32, UnsignedProgramIsNotSigned) {
  std::u16string error;
  EXPECT_EQ(VerifySignature(VendraPlatform::ModuleFileName(), error), eVClientResult::Failed);
  EXPECT_EQ(error, u"The file is not signed.");
}

// Windows answers a missing file with "no signature" and last error 2, or
// with a file error; Wine passes the file error itself up as the status.
TEST(SignatureCheckWin32, MissingFileFails) {
  std::u16string error;
  EXPECT_EQ(VerifySignature(BesideTheTest(u"no-such-program.exe"), error),
            eVClientResult::Failed);
  EXPECT_TRUE(error == u"An unknown error occurred trying to verify the signature of the file." ||
              error == u"CRYPT_E_FILE_ERROR - File does not exist." || error == u"Error code 0x2")
      << VendraText::Utf16ToUtf8(error);
}

TEST(SignatureCheckWin32, SignedProgramPassesAlteredCopyFailsItsDigest) {
  const std::u16string signedCopy = BesideTheTest(u"signature_sample_signed.exe");
  const std::u16string altered = BesideTheTest(u"signature_sample_altered.exe");
  ASSERT_TRUE(VendraPlatform::FileExists(signedCopy));
  ASSERT_TRUE(VendraPlatform::FileExists(altered));
  // Wine accepts the throw-away signer that Windows would not trust.
  std::u16string error = u"earlier text";
  EXPECT_EQ(VerifySignature(signedCopy, error), eVClientResult::Success);
  EXPECT_EQ(error, u"earlier text");
  EXPECT_EQ(VerifySignature(altered, error), eVClientResult::Failed);
  EXPECT_EQ(error, u"Error code 0x80096010");
}

}  // namespace
