#include "packagemanager/publisher/release_signing.h"

#include "json/array.h"
#include "json/object.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/publisher/publisher_key.h"
#include "packagemanager/release/utility_signature.h"

namespace VendraBuild {

namespace {

bool SignObject(VendraJSON::VSJObject* object, const SignedKind& kind, const PublisherKey& key,
                const SignedRelease& release, std::u16string& error) {
  auto signature = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  signature->SetStringA(u"algorithm", "ed25519");
  signature->SetStringA(u"key_id", key.keyId());
  signature->SetStringA(u"product", release.product);
  if (kind.claimsRelease) {
    signature->SetStringA(u"branch", release.branch);
    signature->SetStringA(u"version", release.version);
  }
  signature->SetInteger(u"expires", release.expires);
  if (kind.claimsRelease) signature->SetInteger(u"counter", release.counter);
  if (key.chain() && key.chain()->Count() != 0) {
    Vendra::RefPtr<VendraJSON::VSJValue> chain;
    key.chain()->Clone(chain.Receive());
    signature->Set(u"key_chain", chain.get());
  }
  if (key.revocations() && key.revocations()->Count() != 0) {
    Vendra::RefPtr<VendraJSON::VSJValue> revocations;
    key.revocations()->Clone(revocations.Receive());
    signature->Set(u"revocations", revocations.get());
  }
  object->Set(kReleaseSignatureMember, signature.get());
  std::string message, value;
  if (!SignedObjectMessage(object, kind, message, error)) return false;
  if (!key.Sign(message, value)) {
    error = u"cannot sign with the publisher's key";
    return false;
  }
  signature->SetStringA(u"value", Base64Encode(value));
  return true;
}

}  // namespace

bool SignBuild(VendraJSON::VSJObject* build, const PublisherKey& key,
               const SignedRelease& release, std::u16string& error) {
  return SignObject(build, kSignedBuild, key, release, error);
}

bool SignUtility(VendraJSON::VSJObject* manifest, const PublisherKey& key,
                 const SignedRelease& release, std::u16string& error) {
  SignedRelease utility = release;
  utility.branch = kUtilityBranch;
  return SignObject(manifest, kSignedUtility, key, utility, error);
}

bool SignBuildList(VendraJSON::VSJObject* buildList, const PublisherKey& key,
                   const std::string& product, int64_t expires, std::u16string& error) {
  SignedRelease list;
  list.product = product;
  list.expires = expires;
  return SignObject(buildList, kSignedBuildList, key, list, error);
}

}  // namespace VendraBuild
