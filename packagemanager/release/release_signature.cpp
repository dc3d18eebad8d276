#include "packagemanager/release/release_signature.h"

#include "common/text/format.h"
#include "install/sha256.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/release/canonical_json.h"
#include "packagemanager/release/ed25519.h"
#include "packagemanager/release/key_trust.h"
#include "packagemanager/release/signed_statement.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;

bool SignedMessage(const char* prefix, const VSJObject* signedObject, std::string& message,
                   std::u16string& error) {
  std::string canonical;
  if (!CanonicalJson(signedObject, canonical, error)) {
    error = u"it has no canonical form: " + error;
    return false;
  }
  message = prefix + canonical;
  return true;
}

}  // namespace

ObjectRef ObjectWithout(const VSJObject* object, std::u16string_view key) {
  auto copy = ObjectRef::Adopt(VSJObject::Create());
  for (size_t i = 0; i < object->Count(); ++i) {
    if (object->KeyAt(i) == key) continue;
    Vendra::RefPtr<VendraJSON::VSJValue> value;
    object->HolderAt(i)->GetValue(value.Receive());
    copy->Set(object->KeyAt(i), value.get());
  }
  return copy;
}

std::string KeyId(std::string_view publicKey) {
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state);
  VendraClient::Sha256Add(state, publicKey.data(), publicKey.size());
  uint8_t digest[32];
  VendraClient::Sha256Finish(state, digest);
  return HexEncode(std::string_view(reinterpret_cast<const char*>(digest), 16));
}

bool SignedObjectMessage(const VSJObject* object, const SignedKind& kind, std::string& message,
                         std::u16string& error) {
  ObjectRef signature;
  if (!object->GetObject(kReleaseSignatureMember, signature.Receive())) {
    error = u"it has no signature member";
    return false;
  }
  ObjectRef covered = ObjectWithout(object, kReleaseSignatureMember);
  covered->Set(kReleaseSignatureMember, ObjectWithout(signature.get(), u"value").get());
  return SignedMessage(kind.prefix, covered.get(), message, error);
}

bool RotationSigningMessage(const VSJObject* statement, std::string& message,
                            std::u16string& error) {
  return SignedMessage(kRotationSignaturePrefix, ObjectWithout(statement, u"value").get(),
                       message, error);
}

bool RevocationSigningMessage(const VSJObject* statement, std::string& message,
                              std::u16string& error) {
  return SignedMessage(kRevocationSignaturePrefix, ObjectWithout(statement, u"value").get(),
                       message, error);
}

SignatureVerdict VerifySignedObject(const VSJObject* object, const SignedKind& kind,
                                    const std::vector<std::string>& pinnedKeys,
                                    const std::set<std::string>& revokedKeys,
                                    SignedRelease& release, std::u16string& error) {
  const std::u16string subject(kind.subject);
  if (!object->Has(kReleaseSignatureMember)) {
    error = subject + u" is not signed by its publisher.";
    return SignatureVerdict::kUnsigned;
  }
  ObjectRef signature;
  std::u16string what;
  std::string algorithm, signatureBytes, message;
  SignedRelease claimed;
  const auto readClaims = [&] {
    if (!object->GetObject(kReleaseSignatureMember, signature.Receive())) {
      what = u"it is not an object";
      return false;
    }
    if (!StatementText(signature.get(), u"algorithm", algorithm, what)) return false;
    if (algorithm != "ed25519") {
      what = VendraText::Format(u"its algorithm \"%hs\" is not ed25519", algorithm);
      return false;
    }
    return StatementText(signature.get(), u"key_id", claimed.keyId, what) &&
           StatementText(signature.get(), u"product", claimed.product, what) &&
           StatementInteger(signature.get(), u"expires", claimed.expires, what) &&
           (!kind.claimsRelease ||
            (StatementText(signature.get(), u"branch", claimed.branch, what) &&
             StatementText(signature.get(), u"version", claimed.version, what) &&
             StatementInteger(signature.get(), u"counter", claimed.counter, what))) &&
           StatementBytes(signature.get(), u"value", kEd25519SignatureSize, signatureBytes,
                          what) &&
           SignedObjectMessage(object, kind, message, what);
  };
  if (!readClaims()) {
    error = subject + u"'s signature is malformed: " + what + u".";
    return SignatureVerdict::kMalformed;
  }
  // Revocations first: they are signed by pinned keys alone, and decide
  // which statements of the chain still vouch for anyone.
  KeyTrust trust(pinnedKeys, revokedKeys, kind.subject);
  SignatureVerdict verdict = trust.TakeRevocations(signature.get(), claimed.counterResets, error);
  if (verdict != SignatureVerdict::kValid) return verdict;
  verdict = trust.FollowChain(signature.get(), error);
  if (verdict != SignatureVerdict::kValid) return verdict;
  const std::string* key = trust.SigningKey(claimed.keyId, claimed.vouchers, verdict, error);
  if (!key) return verdict;
  if (!Ed25519Verify(*key, message, signatureBytes)) {
    error = subject + u" does not match its signature: it was changed after signing.";
    return SignatureVerdict::kBadSignature;
  }
  claimed.revokedKeys = trust.revoked();
  release = claimed;
  return SignatureVerdict::kValid;
}

}  // namespace VendraBuild
