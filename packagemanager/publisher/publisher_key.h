#pragma once

#include <string>
#include <string_view>

#include "common/memory/ref_ptr.h"
#include "json/array.h"
#include "json/object.h"

namespace VendraBuild {

// The publisher's Ed25519 key as the publisher tool holds it. The private
// part lives in a PEM (PKCS #8) file readable by its owner only; the key
// rotation statements that lead to it from older keys, if any, in
// PRIVATE_KEY_FILE.chain.json beside it, and the key revocations the builds
// it signs carry, if any, in PRIVATE_KEY_FILE.revocations.json.
class PublisherKey {
 public:
  PublisherKey() = default;
  ~PublisherKey();
  PublisherKey(const PublisherKey&) = delete;
  PublisherKey& operator=(const PublisherKey&) = delete;

  // Makes a new key into path (which must not exist yet). With signer, the
  // new key's chain is the signer's chain followed by a statement, signed by
  // signer, that vouches for the new key.
  bool Generate(const std::u16string& path, const PublisherKey* signer, std::u16string& error);
  bool Load(const std::u16string& path, std::u16string& error);

  // The raw 32-byte public key and its id.
  const std::string& publicKey() const { return publicKey_; }
  std::string keyId() const;
  // The rotation statements from an older key to this one (may be empty).
  const VendraJSON::VSJArray* chain() const { return chain_.get(); }
  // The revocation statements every build this key signs carries.
  const VendraJSON::VSJArray* revocations() const { return revocations_.get(); }
  // Carries statement from now on, in place of any other revocation of the
  // same key, and writes the list beside path, this key's file.
  bool CarryRevocation(const std::u16string& path, VendraJSON::VSJObject* statement,
                       std::u16string& error);

  bool Sign(std::string_view message, std::string& signature) const;

 private:
  std::string seed_;
  std::string publicKey_;
  Vendra::RefPtr<VendraJSON::VSJArray> chain_;
  Vendra::RefPtr<VendraJSON::VSJArray> revocations_;
};

std::u16string KeyChainPath(const std::u16string& privateKeyPath);
std::u16string KeyRevocationsPath(const std::u16string& privateKeyPath);

}  // namespace VendraBuild
