#include "packagemanager/release_signature.h"

#include <algorithm>

#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/sha256.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/base64.h"
#include "packagemanager/canonical_json.h"
#include "packagemanager/ed25519.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;

bool SignedMessage(const char* prefix, const VSJObject* signedObject, std::string& message,
                   std::u16string& error) {
  std::string canonical;
  if (!CanonicalJson(signedObject, canonical, error)) {
    error = u"the build object has no canonical form: " + error;
    return false;
  }
  message = prefix + canonical;
  return true;
}

// A string member that must be there.
bool Text(const VSJObject* object, std::u16string_view key, std::string& out,
          std::u16string& error) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  if (!object->Get(key, value.Receive()) || value->GetType() != VendraJSON::kTypeString ||
      !object->GetStringA(key, out) || out.empty()) {
    error = VendraText::Format(u"its \"%s\" is missing or not a text", std::u16string(key));
    return false;
  }
  return true;
}

bool Integer(const VSJObject* object, std::u16string_view key, int64_t& out,
             std::u16string& error) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  if (!object->Get(key, value.Receive()) || value->GetType() != VendraJSON::kTypeInteger ||
      !object->GetInteger(key, out)) {
    error = VendraText::Format(u"its \"%s\" is missing or not an integer", std::u16string(key));
    return false;
  }
  return true;
}

bool Bytes(const VSJObject* object, std::u16string_view key, size_t size, std::string& out,
           std::u16string& error) {
  std::string text;
  if (!Text(object, key, text, error)) return false;
  if (!Base64Decode(text, out) || out.size() != size) {
    error = VendraText::Format(u"its \"%s\" is not %u bytes in base64", std::u16string(key),
                               static_cast<unsigned>(size));
    return false;
  }
  return true;
}

const std::string* FindKey(const std::vector<std::string>& keys, const std::string& id) {
  for (const std::string& key : keys)
    if (KeyId(key) == id) return &key;
  return nullptr;
}

// Walks the rotation statements in order: each must be signed by a key
// already trusted, and then makes its own key trusted.
SignatureVerdict FollowKeyChain(const VSJObject* signature, std::vector<std::string>& trusted,
                                std::u16string& error) {
  if (!signature->Has(u"key_chain")) return SignatureVerdict::kValid;
  Vendra::RefPtr<VSJArray> chain;
  if (!signature->GetArray(u"key_chain", chain.Receive())) {
    error = u"The build's signature is malformed: its \"key_chain\" is not a list.";
    return SignatureVerdict::kMalformed;
  }
  for (size_t i = 0; i < chain->Count(); ++i) {
    Vendra::RefPtr<VendraJSON::VSJValue> value;
    std::u16string what;
    std::string newKey, signedBy, signatureBytes, message;
    if (!chain->At(i)->GetValue(value.Receive()) ||
        value->GetType() != VendraJSON::kTypeObject) {
      what = u"it is not an object";
    } else {
      const auto* statement = static_cast<const VSJObject*>(value.get());
      if (Bytes(statement, u"public_key", kEd25519PublicKeySize, newKey, what) &&
          Text(statement, u"signed_by", signedBy, what) &&
          Bytes(statement, u"value", kEd25519SignatureSize, signatureBytes, what) &&
          RotationSigningMessage(statement, message, what)) {
        const std::string* signer = FindKey(trusted, signedBy);
        if (!signer) {
          error = VendraText::Format(
              u"Key rotation refused: statement %u of the key chain is signed by key %hs, "
              u"which is not a trusted publisher key.",
              static_cast<unsigned>(i + 1), signedBy);
          return SignatureVerdict::kBrokenChain;
        }
        if (!Ed25519Verify(*signer, message, signatureBytes)) {
          error = VendraText::Format(
              u"Key rotation refused: statement %u of the key chain does not match its "
              u"signature by key %hs.",
              static_cast<unsigned>(i + 1), signedBy);
          return SignatureVerdict::kBrokenChain;
        }
        trusted.push_back(newKey);
        continue;
      }
    }
    error = VendraText::Format(u"The build's signature is malformed: key chain statement %u: %s.",
                               static_cast<unsigned>(i + 1), what);
    return SignatureVerdict::kMalformed;
  }
  return SignatureVerdict::kValid;
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

bool BuildSigningMessage(const VSJObject* build, std::string& message, std::u16string& error) {
  ObjectRef signature;
  if (!build->GetObject(kReleaseSignatureMember, signature.Receive())) {
    error = u"the build has no signature member";
    return false;
  }
  ObjectRef covered = ObjectWithout(build, kReleaseSignatureMember);
  covered->Set(kReleaseSignatureMember, ObjectWithout(signature.get(), u"value").get());
  return SignedMessage(kBuildSignaturePrefix, covered.get(), message, error);
}

bool RotationSigningMessage(const VSJObject* statement, std::string& message,
                            std::u16string& error) {
  return SignedMessage(kRotationSignaturePrefix, ObjectWithout(statement, u"value").get(),
                       message, error);
}

SignatureVerdict VerifyBuildSignature(const VSJObject* build,
                                      const std::vector<std::string>& pinnedKeys,
                                      SignedRelease& release, std::u16string& error) {
  if (!build->Has(kReleaseSignatureMember)) {
    error = u"The build is not signed by its publisher.";
    return SignatureVerdict::kUnsigned;
  }
  ObjectRef signature;
  std::u16string what;
  std::string algorithm, signatureBytes, message;
  SignedRelease claimed;
  const auto readClaims = [&] {
    if (!build->GetObject(kReleaseSignatureMember, signature.Receive())) {
      what = u"it is not an object";
      return false;
    }
    if (!Text(signature.get(), u"algorithm", algorithm, what)) return false;
    if (algorithm != "ed25519") {
      what = VendraText::Format(u"its algorithm \"%hs\" is not ed25519", algorithm);
      return false;
    }
    return Text(signature.get(), u"key_id", claimed.keyId, what) &&
           Text(signature.get(), u"product", claimed.product, what) &&
           Text(signature.get(), u"branch", claimed.branch, what) &&
           Text(signature.get(), u"version", claimed.version, what) &&
           Integer(signature.get(), u"expires", claimed.expires, what) &&
           Integer(signature.get(), u"counter", claimed.counter, what) &&
           Bytes(signature.get(), u"value", kEd25519SignatureSize, signatureBytes, what) &&
           BuildSigningMessage(build, message, what);
  };
  if (!readClaims()) {
    error = u"The build's signature is malformed: " + what + u".";
    return SignatureVerdict::kMalformed;
  }
  std::vector<std::string> trusted = pinnedKeys;
  if (const SignatureVerdict chain = FollowKeyChain(signature.get(), trusted, error);
      chain != SignatureVerdict::kValid)
    return chain;
  const std::string* key = FindKey(trusted, claimed.keyId);
  if (!key) {
    error = VendraText::Format(
        u"The build is signed by key %hs, which is not a trusted publisher key.", claimed.keyId);
    return SignatureVerdict::kUnknownKey;
  }
  if (!Ed25519Verify(*key, message, signatureBytes)) {
    error = u"The build object does not match its signature: it was changed after signing.";
    return SignatureVerdict::kBadSignature;
  }
  release = claimed;
  return SignatureVerdict::kValid;
}

}  // namespace VendraBuild
