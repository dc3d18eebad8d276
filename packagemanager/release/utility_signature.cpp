#include "packagemanager/release/utility_signature.h"

#include "common/text/format.h"
#include "json/object.h"
#include "packagemanager/release/signed_statement.h"
#include "packagemanager/release/utc_text.h"

namespace VendraBuild {
namespace {

bool IsSha256Text(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

bool CheckUtilitySignature(const VendraJSON::VSJObject* manifest, std::string_view name,
                           std::u16string_view subject,
                           const std::vector<std::string>& pinnedKeys, int64_t now,
                           std::u16string& error) {
  const SignedKind kind{kUtilitySignaturePrefix, subject};
  SignedRelease release;
  if (VerifySignedObject(manifest, kind, pinnedKeys, {}, release, error) !=
      SignatureVerdict::kValid)
    return false;
  std::string ownName;
  manifest->GetStringA(u"name", ownName);
  if (release.product != name || release.branch != kUtilityBranch || ownName != name) {
    error = VendraText::Format(
        u"%s is signed for the %hs \"%hs\" and names \"%hs\", not the utility \"%hs\".",
        std::u16string(subject), release.branch, release.product, ownName, std::string(name));
    return false;
  }
  if (now >= release.expires) {
    error = VendraText::Format(
        u"%s's signature expired at %hs: the service offers a stale release.",
        std::u16string(subject), UtcText(release.expires));
    return false;
  }
  std::string digest;
  int64_t size = 0;
  std::u16string problem;
  if (!StatementInteger(manifest, u"file_size", size, problem) || size < 0 ||
      !StatementText(manifest, u"file_sha256", digest, problem) || !IsSha256Text(digest)) {
    error = std::u16string(subject) +
            u" names no size and SHA-256 of the program, so its signature vouches for no "
            u"program.";
    return false;
  }
  return true;
}

}  // namespace VendraBuild
