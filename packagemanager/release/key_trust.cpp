#include "packagemanager/release/key_trust.h"

#include <algorithm>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/release/ed25519.h"
#include "packagemanager/release/signed_statement.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;

// The statements of list (an optional member of signature), each handed to
// take as an object; false with error when the member or an item is not
// what it should be, or when take refuses one.
template <typename Take>
SignatureVerdict EachStatement(const VSJObject* signature, std::u16string_view subject,
                               std::u16string_view list, std::u16string_view what,
                               std::u16string& error, Take take) {
  if (!signature->Has(list)) return SignatureVerdict::kValid;
  Vendra::RefPtr<VSJArray> statements;
  if (!signature->GetArray(list, statements.Receive())) {
    error = VendraText::Format(u"%s's signature is malformed: its \"%s\" is not a list.",
                               std::u16string(subject), std::u16string(list));
    return SignatureVerdict::kMalformed;
  }
  for (size_t i = 0; i < statements->Count(); ++i) {
    Vendra::RefPtr<VendraJSON::VSJValue> value;
    std::u16string problem = u"it is not an object";
    SignatureVerdict verdict = SignatureVerdict::kMalformed;
    if (statements->At(i)->GetValue(value.Receive()) &&
        value->GetType() == VendraJSON::kTypeObject) {
      verdict = take(static_cast<const VSJObject*>(value.get()), static_cast<unsigned>(i + 1),
                     problem, error);
      if (verdict == SignatureVerdict::kValid) continue;
    }
    if (verdict == SignatureVerdict::kMalformed)
      error = VendraText::Format(u"%s's signature is malformed: %s %u: %s.",
                                 std::u16string(subject), std::u16string(what),
                                 static_cast<unsigned>(i + 1), problem);
    return verdict;
  }
  return SignatureVerdict::kValid;
}

}  // namespace

KeyTrust::KeyTrust(const std::vector<std::string>& pinnedKeys,
                   const std::set<std::string>& revokedKeys, std::u16string_view subject)
    : subject_(subject) {
  for (const std::string& key : pinnedKeys) keys_.push_back({key, KeyId(key), ""});
  for (const std::string& id : revokedKeys)
    if (!IsPinned(id)) revoked_.insert(id);
}

const KeyTrust::Known* KeyTrust::Find(const std::string& id) const {
  for (const Known& key : keys_)
    if (key.id == id) return &key;
  return nullptr;
}

bool KeyTrust::IsPinned(const std::string& id) const {
  const Known* key = Find(id);
  return key && key->vouchedBy.empty();
}

SignatureVerdict KeyTrust::TakeRevocations(const VSJObject* signature,
                                           std::map<std::string, int64_t>& resets,
                                           std::u16string& error) {
  return EachStatement(
      signature, subject_, u"revocations", u"revocation", error,
      [&](const VSJObject* statement, unsigned number, std::u16string& problem,
          std::u16string& refusal) {
        std::string revokedKey, signedBy, value, message;
        int64_t reset = 0;
        if (!StatementKeyId(statement, u"revoked_key", revokedKey, problem) ||
            !StatementText(statement, u"signed_by", signedBy, problem) ||
            !StatementInteger(statement, u"reset_counter", reset, problem) ||
            !StatementBytes(statement, u"value", kEd25519SignatureSize, value, problem) ||
            !RevocationSigningMessage(statement, message, problem))
          return SignatureVerdict::kMalformed;
        if (reset < 0) {
          problem = u"its \"reset_counter\" is negative";
          return SignatureVerdict::kMalformed;
        }
        if (signedBy == revokedKey) {
          refusal = VendraText::Format(
              u"Key revocation refused: revocation %u is signed by key %hs, the key it revokes.",
              number, signedBy);
          return SignatureVerdict::kBadRevocation;
        }
        if (!IsPinned(signedBy)) {
          refusal = VendraText::Format(
              u"Key revocation refused: revocation %u is signed by key %hs, which is not a "
              u"pinned publisher key; only a pinned key may revoke a key.",
              number, signedBy);
          return SignatureVerdict::kBadRevocation;
        }
        if (!Ed25519Verify(Find(signedBy)->publicKey, message, value)) {
          refusal = VendraText::Format(
              u"Key revocation refused: revocation %u does not match its signature by key %hs.",
              number, signedBy);
          return SignatureVerdict::kBadRevocation;
        }
        if (IsPinned(revokedKey)) return SignatureVerdict::kValid;
        revoked_.insert(revokedKey);
        const auto [entry, added] = resets.emplace(revokedKey, reset);
        if (!added) entry->second = std::max(entry->second, reset);
        return SignatureVerdict::kValid;
      });
}

SignatureVerdict KeyTrust::FollowChain(const VSJObject* signature, std::u16string& error) {
  return EachStatement(
      signature, subject_, u"key_chain", u"key chain statement", error,
      [&](const VSJObject* statement, unsigned number, std::u16string& problem,
          std::u16string& refusal) {
        std::string newKey, signedBy, value, message;
        if (!StatementBytes(statement, u"public_key", kEd25519PublicKeySize, newKey, problem) ||
            !StatementText(statement, u"signed_by", signedBy, problem) ||
            !StatementBytes(statement, u"value", kEd25519SignatureSize, value, problem) ||
            !RotationSigningMessage(statement, message, problem))
          return SignatureVerdict::kMalformed;
        if (revoked_.count(signedBy)) {
          refusal = VendraText::Format(
              u"Key rotation refused: statement %u of the key chain is signed by key %hs, which "
              u"its publisher revoked.",
              number, signedBy);
          return SignatureVerdict::kRevokedKey;
        }
        const Known* signer = Find(signedBy);
        if (!signer) {
          refusal = VendraText::Format(
              u"Key rotation refused: statement %u of the key chain is signed by key %hs, which "
              u"is not a trusted publisher key.",
              number, signedBy);
          return SignatureVerdict::kBrokenChain;
        }
        if (!Ed25519Verify(signer->publicKey, message, value)) {
          refusal = VendraText::Format(
              u"Key rotation refused: statement %u of the key chain does not match its "
              u"signature by key %hs.",
              number, signedBy);
          return SignatureVerdict::kBrokenChain;
        }
        // The first way a key became trusted is the one kept: a pinned key
        // stays pinned, and every key's voucher was added before it.
        const std::string id = KeyId(newKey);
        if (!Find(id)) keys_.push_back({newKey, id, signedBy});
        return SignatureVerdict::kValid;
      });
}

const std::string* KeyTrust::SigningKey(const std::string& keyId,
                                        std::vector<std::string>& vouchers,
                                        SignatureVerdict& verdict, std::u16string& error) const {
  if (revoked_.count(keyId)) {
    error = VendraText::Format(u"%s is signed by key %hs, which its publisher revoked.", subject_,
                               keyId);
    verdict = SignatureVerdict::kRevokedKey;
    return nullptr;
  }
  const Known* key = Find(keyId);
  if (!key) {
    error = VendraText::Format(
        u"%s is signed by key %hs, which is not a trusted publisher key.", subject_, keyId);
    verdict = SignatureVerdict::kUnknownKey;
    return nullptr;
  }
  vouchers.clear();
  for (const Known* at = key; !at->vouchedBy.empty(); at = Find(at->vouchedBy))
    vouchers.push_back(at->vouchedBy);
  return &key->publicKey;
}

}  // namespace VendraBuild
