#include <gtest/gtest.h>

#include <string>

#include "install/signature_verification.h"
#include "tests/support/temp_folder.h"

namespace {

using VendraClient::eVClientResult;
using VendraClient::SignatureResult;
using VendraPlatform::SignatureCheck;
namespace Trust = VendraPlatform::TrustStatus;

struct Row {
  uint32_t status;
  uint32_t lastError;
  const char16_t* text;
};

// How each answer of the trust provider reads; the path exists in every row.
TEST(SignatureResult, EveryStatusHasItsText) {
  VendraTest::TempFolder folder;
  VendraTest::WriteTextFile(folder.Sub("file"), "x");
  const Row rows[] = {
      {Trust::kNoSignature, Trust::kNoSignature, u"The file is not signed."},
      {Trust::kNoSignature, Trust::kSubjectFormUnknown, u"The file is not signed."},
      {Trust::kNoSignature, Trust::kProviderUnknown, u"The file is not signed."},
      {Trust::kNoSignature, 2,
       u"An unknown error occurred trying to verify the signature of the file."},
      {Trust::kNoSignature, 0,
       u"An unknown error occurred trying to verify the signature of the file."},
      {Trust::kExplicitDistrust, Trust::kExplicitDistrust,
       u"The signature is present, but specifically disallowed."},
      {Trust::kSubjectNotTrusted, 0, u"The signature is present, but not trusted."},
      {Trust::kSecuritySettings, 0,
       u"CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher wasn't "
       u"explicitly trusted by the admin and admin policy has disabled user trust. No "
       u"signature, publisher or timestamp errors."},
      {Trust::kFileError, 5, u"CRYPT_E_FILE_ERROR - Failed to read the file."},
      {Trust::kUntrustedRoot, Trust::kUntrustedRoot, u"Error code 0x800b0109"},
      {Trust::kBadDigest, Trust::kBadDigest, u"Error code 0x80096010"},
      {0x1, 0, u"Error code 0x1"},
  };
  for (const Row& row : rows) {
    std::u16string error = u"earlier text";
    EXPECT_EQ(SignatureResult(SignatureCheck{row.status, row.lastError}, folder.WSub("file"),
                              error),
              eVClientResult::Failed)
        << std::hex << row.status;
    EXPECT_EQ(error, row.text) << std::hex << row.status << " " << row.lastError;
  }
}

TEST(SignatureResult, FileErrorTellsAMissingPathFromAnUnreadableOne) {
  VendraTest::TempFolder folder;
  std::u16string error;
  EXPECT_EQ(SignatureResult(SignatureCheck{Trust::kFileError, 2}, folder.WSub("missing"), error),
            eVClientResult::Failed);
  EXPECT_EQ(error, u"CRYPT_E_FILE_ERROR - File does not exist.");
  // A folder exists, so it is a file that could not be read.
  EXPECT_EQ(SignatureResult(SignatureCheck{Trust::kFileError, 5}, folder.wpath(), error),
            eVClientResult::Failed);
  EXPECT_EQ(error, u"CRYPT_E_FILE_ERROR - Failed to read the file.");
}

TEST(SignatureResult, TrustedLeavesTheTextAlone) {
  std::u16string error = u"earlier text";
  EXPECT_EQ(SignatureResult(SignatureCheck{Trust::kTrusted, 0}, u"whatever", error),
            eVClientResult::Success);
  EXPECT_EQ(error, u"earlier text");
}

}  // namespace
