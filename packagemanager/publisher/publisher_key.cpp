#include "packagemanager/publisher/publisher_key.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

#include "common/memory/wipe.h"
#include "common/text/utf.h"
#include "json/files.h"
#include "json/object.h"
#include "json/parser.h"
#include "json/value_container.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/release/ed25519.h"
#include "packagemanager/release/release_signature.h"
#include "platform/files.h"
#include "platform/secret_file.h"
#include "platform/sys_error.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

class ErrorQueueScope {
 public:
  ErrorQueueScope() { ERR_clear_error(); }
  ~ErrorQueueScope() { ERR_clear_error(); }
};

bool RawKeys(EVP_PKEY* key, std::string& seed, std::string& publicKey) {
  size_t seedSize = 32, publicSize = 32;
  seed.assign(32, '\0');
  publicKey.assign(32, '\0');
  return EVP_PKEY_get_raw_private_key(key, reinterpret_cast<unsigned char*>(seed.data()),
                                      &seedSize) == 1 &&
         EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(publicKey.data()),
                                     &publicSize) == 1 &&
         seedSize == 32 && publicSize == 32;
}

KeyPtr PrivateKey(const std::string& seed) {
  return KeyPtr(EVP_PKEY_new_raw_private_key(
      EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(seed.data()), seed.size()));
}

// A list of statements kept beside a key; a missing file is the empty list.
bool LoadStatements(const std::u16string& path, Vendra::RefPtr<VSJArray>& statements,
                    std::u16string& error) {
  statements = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  if (!VendraPlatform::FileExists(path)) return true;
  Vendra::RefPtr<VendraJSON::VSJValue> list;
  std::u16string parseError;
  if (!VendraJSON::LoadFile(path, list.Receive(), parseError) ||
      list->GetType() != VendraJSON::kTypeArray) {
    error = path + u" is not a list of statements: " + parseError;
    return false;
  }
  statements = Vendra::RefPtr<VSJArray>::Share(static_cast<VSJArray*>(list.get()));
  return true;
}

bool SaveStatements(const std::u16string& path, const VSJArray* statements,
                    std::u16string& error) {
  std::string text;
  statements->WriteJSONA(text, true, 0, "\n");
  text += "\n";
  if (VendraPlatform::WriteFileAtomically(path, text) != 0) {
    error = u"cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

std::u16string KeyChainPath(const std::u16string& privateKeyPath) {
  return privateKeyPath + u".chain.json";
}

std::u16string KeyRevocationsPath(const std::u16string& privateKeyPath) {
  return privateKeyPath + u".revocations.json";
}

PublisherKey::~PublisherKey() { Vendra::WipeText(seed_); }

std::string PublisherKey::keyId() const { return KeyId(publicKey_); }

bool PublisherKey::Sign(std::string_view message, std::string& signature) const {
  ErrorQueueScope errors;
  KeyPtr key = PrivateKey(seed_);
  std::unique_ptr<EVP_MD_CTX, MdContextFree> context(EVP_MD_CTX_new());
  size_t size = kEd25519SignatureSize;
  signature.assign(size, '\0');
  return key && context &&
         EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
         EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                        reinterpret_cast<const unsigned char*>(message.data()),
                        message.size()) == 1 &&
         size == kEd25519SignatureSize;
}

bool PublisherKey::Generate(const std::u16string& path, const PublisherKey* signer,
                            std::u16string& error) {
  ErrorQueueScope errors;
  std::unique_ptr<EVP_PKEY_CTX, ContextFree> context(
      EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
  EVP_PKEY* made = nullptr;
  if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
      EVP_PKEY_keygen(context.get(), &made) != 1) {
    error = u"cannot make an Ed25519 key";
    return false;
  }
  KeyPtr key(made);
  // Secure memory: the encoded private key is wiped when the BIO goes.
  std::unique_ptr<BIO, BioFree> pem(BIO_new(BIO_s_secmem()));
  char* text = nullptr;
  long size = 0;
  if (!RawKeys(key.get(), seed_, publicKey_) || !pem ||
      PEM_write_bio_PrivateKey(pem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      (size = BIO_get_mem_data(pem.get(), &text)) <= 0) {
    error = u"cannot encode the new key";
    return false;
  }
  chain_ = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  if (signer) {
    for (const auto* holder : *signer->chain()) {
      Vendra::RefPtr<VendraJSON::VSJValue> statement;
      holder->GetValue(statement.Receive());
      chain_->Append(statement.get());
    }
    auto statement = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    statement->SetStringA(u"public_key", Base64Encode(publicKey_));
    statement->SetStringA(u"signed_by", signer->keyId());
    std::string message, signature;
    if (!RotationSigningMessage(statement.get(), message, error) ||
        !signer->Sign(message, signature)) {
      error = u"cannot sign the key rotation statement";
      return false;
    }
    statement->SetStringA(u"value", Base64Encode(signature));
    chain_->Append(statement.get());
  }
  std::string pemText(text, static_cast<size_t>(size));
  const uint32_t err = VendraPlatform::CreateSecretFile(path, pemText);
  Vendra::WipeText(pemText);
  if (err == VendraPlatform::SysError::kAlreadyExists ||
      err == VendraPlatform::SysError::kFileExists) {
    error = path + u" exists already: a key file is never replaced; choose a new name";
    return false;
  }
  if (err) {
    error = u"cannot create " + path + u" (system error " +
            VendraText::Utf8ToUtf16(std::to_string(err)) + u")";
    return false;
  }
  revocations_ = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  if (chain_->Count() == 0) return true;
  if (!SaveStatements(KeyChainPath(path), chain_.get(), error)) {
    VendraPlatform::DeleteFile(path);
    return false;
  }
  return true;
}

bool PublisherKey::Load(const std::u16string& path, std::u16string& error) {
  ErrorQueueScope errors;
  std::string pemText;
  if (VendraPlatform::ReadWholeFile(path, pemText) != 0) {
    error = u"cannot read the key file " + path;
    return false;
  }
  std::unique_ptr<BIO, BioFree> pem(
      BIO_new_mem_buf(pemText.data(), static_cast<int>(pemText.size())));
  KeyPtr key(pem ? PEM_read_bio_PrivateKey(pem.get(), nullptr, nullptr, nullptr) : nullptr);
  Vendra::WipeText(pemText);
  if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519 ||
      !RawKeys(key.get(), seed_, publicKey_)) {
    error = path + u" holds no Ed25519 private key";
    return false;
  }
  return LoadStatements(KeyChainPath(path), chain_, error) &&
         LoadStatements(KeyRevocationsPath(path), revocations_, error);
}

bool PublisherKey::CarryRevocation(const std::u16string& path, VSJObject* statement,
                                   std::u16string& error) {
  std::string revoked;
  statement->GetStringA(u"revoked_key", revoked);
  auto kept = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const auto* holder : *revocations_) {
    Vendra::RefPtr<VendraJSON::VSJValue> value;
    std::string other;
    holder->GetValue(value.Receive());
    if (value->GetType() == VendraJSON::kTypeObject &&
        static_cast<const VSJObject*>(value.get())->GetStringA(u"revoked_key", other) &&
        other == revoked)
      continue;
    kept->Append(value.get());
  }
  kept->Append(statement);
  if (!SaveStatements(KeyRevocationsPath(path), kept.get(), error)) return false;
  revocations_ = kept;
  return true;
}

}  // namespace VendraBuild
