#include "packagemanager/release_signing.h"

#include "common/memory/ref_ptr.h"
#include "json/array.h"
#include "json/object.h"
#include "packagemanager/base64.h"
#include "packagemanager/publisher_key.h"

namespace VendraBuild {
namespace {

using ObjectRef = Vendra::RefPtr<VendraJSON::VSJObject>;

// A signature member of key's, for the claims to be added to.
ObjectRef NewSignature(const PublisherKey& key) {
  auto signature = ObjectRef::Adopt(VendraJSON::VSJObject::Create());
  signature->SetStringA(u"algorithm", "ed25519");
  signature->SetStringA(u"key_id", key.keyId());
  return signature;
}

// signature holds what the member claims; it gets key's rotation chain and
// revocations, becomes object's signature member and is signed with
// everything else object holds.
bool SignMember(VendraJSON::VSJObject* object, const SignedSubject& subject,
                VendraJSON::VSJObject* signature, const PublisherKey& key,
                std::u16string& error) {
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
  object->Set(kReleaseSignatureMember, signature);
  std::string message, value;
  if (!SignedObjectMessage(object, subject, message, error)) return false;
  if (!key.Sign(message, value)) {
    error = u"cannot sign the " + std::u16string(subject.name) + u" with the publisher's key";
    return false;
  }
  signature->SetStringA(u"value", Base64Encode(value));
  return true;
}

}  // namespace

bool SignBuild(VendraJSON::VSJObject* build, const PublisherKey& key,
               const SignedRelease& release, std::u16string& error) {
  ObjectRef signature = NewSignature(key);
  signature->SetStringA(u"product", release.product);
  signature->SetStringA(u"branch", release.branch);
  signature->SetStringA(u"version", release.version);
  signature->SetInteger(u"expires", release.expires);
  signature->SetInteger(u"counter", release.counter);
  return SignMember(build, kSignedBuild, signature.get(), key, error);
}

bool SignBuildList(VendraJSON::VSJObject* buildList, const PublisherKey& key,
                   const std::string& product, int64_t expires, std::u16string& error) {
  ObjectRef signature = NewSignature(key);
  signature->SetStringA(u"product", product);
  signature->SetInteger(u"expires", expires);
  return SignMember(buildList, kSignedBuildList, signature.get(), key, error);
}

}  // namespace VendraBuild
