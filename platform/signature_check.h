#pragma once

#include <cstdint>
#include <string_view>

namespace VendraPlatform {

// Answers of a file signature check: the trust provider's status numbers,
// the same on every platform (docs/signatures.md says how the POSIX layer
// arrives at them).
namespace TrustStatus {
constexpr uint32_t kTrusted = 0;
constexpr uint32_t kProviderUnknown = 0x800B0001;     // TRUST_E_PROVIDER_UNKNOWN
constexpr uint32_t kNoSignerCert = 0x800B0002;        // TRUST_E_NO_SIGNER_CERT
constexpr uint32_t kSubjectFormUnknown = 0x800B0003;  // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr uint32_t kSubjectNotTrusted = 0x800B0004;   // TRUST_E_SUBJECT_NOT_TRUSTED
constexpr uint32_t kNoSignature = 0x800B0100;         // TRUST_E_NOSIGNATURE
constexpr uint32_t kCertExpired = 0x800B0101;         // CERT_E_EXPIRED
constexpr uint32_t kUntrustedRoot = 0x800B0109;       // CERT_E_UNTRUSTEDROOT
constexpr uint32_t kWrongUsage = 0x800B0110;          // CERT_E_WRONG_USAGE
constexpr uint32_t kExplicitDistrust = 0x800B0111;    // TRUST_E_EXPLICIT_DISTRUST
constexpr uint32_t kFileError = 0x80092003;           // CRYPT_E_FILE_ERROR
constexpr uint32_t kSecuritySettings = 0x80092026;    // CRYPT_E_SECURITY_SETTINGS
constexpr uint32_t kBadDigest = 0x80096010;           // TRUST_E_BAD_DIGEST
constexpr uint32_t kBadMessage = 0x80091004;          // CRYPT_E_BAD_MSG
}  // namespace TrustStatus

struct SignatureCheck {
  // 0 when the file is signed and the signature is trusted.
  uint32_t status = TrustStatus::kTrusted;
  // The thread's last error number as the check left it; it tells an
  // unsigned file from one that could not be examined.
  uint32_t lastError = 0;
};

// Asks the system whether the file at path carries a valid signature whose
// certificates lead to a trusted root. Shows no window, checks no
// revocation, changes nothing on disk.
SignatureCheck CheckFileSignature(std::u16string_view path);

}  // namespace VendraPlatform
