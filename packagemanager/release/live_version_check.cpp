#include "packagemanager/release/live_version_check.h"

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "packagemanager/release/release_check.h"
#include "packagemanager/release/release_signature.h"
#include "packagemanager/release/utc_text.h"

namespace VendraBuild {

bool CheckLiveVersion(const VendraJSON::VSJObject* buildList, const TrustConfig& config,
                      const LiveVersionRequest& request, std::u16string& error) {
  SignedRelease signedList;
  const SignatureVerdict verdict = VerifySignedObject(
      buildList, kSignedBuildList, config.publisherKeys, request.revokedKeys, signedList, error);
  if (verdict == SignatureVerdict::kUnsigned && config.acceptUnsigned) return true;
  if (verdict == SignatureVerdict::kUnsigned) {
    error += u" Unsigned build lists are refused unless the package manager's configuration "
             u"sets \"accept_unsigned_builds\".";
    return false;
  }
  if (verdict != SignatureVerdict::kValid) return false;
  if (signedList.product != request.list) {
    error = VendraText::Format(u"The signed build list is %hs's, not %hs's.", signedList.product,
                               request.list);
    return false;
  }
  if (request.now >= signedList.expires) {
    error = VendraText::Format(
        u"The build list's signature expired on %hs: the service offers a stale build list "
        u"(its publisher signs it again every few days).",
        UtcText(signedList.expires));
    return false;
  }
  Vendra::RefPtr<VendraJSON::VSJObject> entry;
  std::string live;
  if (request.branch == VendraText::Utf16ToUtf8(kReleaseSignatureMember) ||
      !buildList->GetObject(VendraText::Utf8ToUtf16(request.branch), entry.Receive()) ||
      !entry->GetStringA(u"version", live) || live.empty()) {
    error = VendraText::Format(u"The signed build list %hs names no live version of branch %hs.",
                               request.list, request.branch);
    return false;
  }
  if (CompareVersions(request.version, live) < 0) {
    error = VendraText::Format(
        u"Downgrade refused: the publisher's signed build list %hs names %hs as live on branch "
        u"%hs; %hs is older (pass --allow-downgrade to install it anyway).",
        request.list, live, request.branch, request.version);
    return false;
  }
  return true;
}

}  // namespace VendraBuild
