#include "packagemanager/publisher/key_revocation.h"

#include "common/text/format.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/publisher/publisher_key.h"
#include "packagemanager/release/release_signature.h"
#include "packagemanager/release/signed_statement.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJObject;

// Calls visit with each statement of list that is an object.
template <typename Visit>
void EachObject(const VendraJSON::VSJArray* list, Visit visit) {
  for (const auto* holder : *list) {
    Vendra::RefPtr<VendraJSON::VSJValue> value;
    if (holder->GetValue(value.Receive()) && value->GetType() == VendraJSON::kTypeObject)
      visit(static_cast<const VSJObject*>(value.get()));
  }
}

}  // namespace

Vendra::RefPtr<VSJObject> SignRevocation(const PublisherKey& signer, const std::string& revokedId,
                                         int64_t resetCounter, std::u16string& error) {
  auto statement = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  statement->SetStringA(u"revoked_key", revokedId);
  statement->SetStringA(u"signed_by", signer.keyId());
  statement->SetInteger(u"reset_counter", resetCounter);
  std::string message, value;
  if (!RevocationSigningMessage(statement.get(), message, error) ||
      !signer.Sign(message, value)) {
    error = u"cannot sign the key revocation";
    return {};
  }
  statement->SetStringA(u"value", Base64Encode(value));
  return statement;
}

bool RevokeKey(const std::u16string& carrierPath, PublisherKey& carrier,
               const PublisherKey& signer, const std::string& revokedId, int64_t resetCounter,
               std::u16string& error) {
  if (!IsKeyId(revokedId)) {
    error = VendraText::Format(
        u"\"%hs\" is not a key id: 32 lower-case hex digits, as keygen printed it", revokedId);
    return false;
  }
  if (signer.chain() && signer.chain()->Count() != 0) {
    error = VendraText::Format(
        u"key %hs was vouched for by another key, so package managers do not pin it: sign the "
        u"revocation with the key they pin",
        signer.keyId());
    return false;
  }
  if (signer.keyId() == revokedId) {
    error = u"a key cannot revoke itself: sign the revocation with another key package "
            u"managers pin";
    return false;
  }
  bool carrierRevoked = carrier.keyId() == revokedId;
  EachObject(carrier.chain(), [&](const VSJObject* statement) {
    std::string signedBy, publicKey, raw;
    statement->GetStringA(u"signed_by", signedBy);
    statement->GetStringA(u"public_key", publicKey);
    if (signedBy == revokedId || (Base64Decode(publicKey, raw) && KeyId(raw) == revokedId))
      carrierRevoked = true;
  });
  if (carrierRevoked) {
    error = VendraText::Format(
        u"key %hs is the revoked key or one it vouched for: package managers would refuse the "
        u"builds it signs; make a new key with keygen --signed-by a pinned key and let it "
        u"carry the revocation",
        carrier.keyId());
    return false;
  }
  Vendra::RefPtr<VSJObject> statement = SignRevocation(signer, revokedId, resetCounter, error);
  return statement && carrier.CarryRevocation(carrierPath, statement.get(), error);
}

std::map<std::string, int64_t> RevocationResets(const PublisherKey& key) {
  std::map<std::string, int64_t> resets;
  EachObject(key.revocations(), [&](const VSJObject* statement) {
    std::string id;
    int64_t reset = 0;
    if (statement->GetStringA(u"revoked_key", id) && statement->GetInteger(u"reset_counter", reset))
      resets[id] = reset;
  });
  return resets;
}

}  // namespace VendraBuild
