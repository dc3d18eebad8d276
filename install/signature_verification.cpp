#include "install/signature_verification.h"

#include "common/text/format.h"
#include "platform/files.h"

namespace VendraClient {

namespace Trust = VendraPlatform::TrustStatus;

eVClientResult SignatureResult(const VendraPlatform::SignatureCheck& check,
                               std::u16string_view path, std::u16string& error) {
  switch (check.status) {
    case Trust::kTrusted:
      return eVClientResult::Success;
    case Trust::kNoSignature:
      // The provider answers "no signature" also when it could not look at
      // the file; only these last errors mean the file really is unsigned.
      if (check.lastError == Trust::kNoSignature || check.lastError == Trust::kSubjectFormUnknown ||
          check.lastError == Trust::kProviderUnknown)
        error = u"The file is not signed.";
      else
        error = u"An unknown error occurred trying to verify the signature of the file.";
      break;
    case Trust::kExplicitDistrust:
      error = u"The signature is present, but specifically disallowed.";
      break;
    case Trust::kSubjectNotTrusted:
      error = u"The signature is present, but not trusted.";
      break;
    case Trust::kSecuritySettings:
      error =
          u"CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher "
          u"wasn't explicitly trusted by the admin and admin policy has disabled user trust. "
          u"No signature, publisher or timestamp errors.";
      break;
    case Trust::kFileError:
      if (VendraPlatform::FileExists(path) || VendraPlatform::FolderExists(path))
        error = u"CRYPT_E_FILE_ERROR - Failed to read the file.";
      else
        error = u"CRYPT_E_FILE_ERROR - File does not exist.";
      break;
    default:
      error = VendraText::Format(u"Error code 0x%x", check.status);
      break;
  }
  return eVClientResult::Failed;
}

eVClientResult VerifySignature(const std::u16string& path, std::u16string& error) {
  return SignatureResult(VendraPlatform::CheckFileSignature(path), path, error);
}

}  // namespace VendraClient
