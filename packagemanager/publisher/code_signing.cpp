#include "packagemanager/publisher/code_signing.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
// cms.h declares its PEM readers only after pem.h.
#include <openssl/cms.h>
#include <openssl/x509.h>

#include <memory>

#include "common/memory/wipe.h"
#include "platform/files.h"
#include "platform/run_program.h"

namespace VendraBuild {
namespace {

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct CertStackFree {
  void operator()(STACK_OF(X509) * certs) const { sk_X509_pop_free(certs, X509_free); }
};
struct CmsFree {
  void operator()(CMS_ContentInfo* cms) const { CMS_ContentInfo_free(cms); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;

BioPtr MemoryOf(const std::string& bytes) {
  return BioPtr(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

}  // namespace

bool SignDetached(const CodeSigner& signer, const std::string& content, std::string& signature,
                  std::u16string& error) {
  ERR_clear_error();
  std::string certificates, keyText;
  if (VendraPlatform::ReadWholeFile(signer.certificateFile, certificates) != 0 ||
      VendraPlatform::ReadWholeFile(signer.keyFile, keyText) != 0) {
    error = u"cannot read the code-signing certificate " + signer.certificateFile +
            u" or its key " + signer.keyFile;
    return false;
  }
  BioPtr certBio = MemoryOf(certificates);
  std::unique_ptr<X509, CertFree> cert(
      PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
  std::unique_ptr<STACK_OF(X509), CertStackFree> chain(sk_X509_new_null());
  while (X509* extra = PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr))
    sk_X509_push(chain.get(), extra);
  BioPtr keyBio = MemoryOf(keyText);
  std::unique_ptr<EVP_PKEY, KeyFree> key(
      PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
  Vendra::WipeText(keyText);
  if (!cert || !key || X509_check_private_key(cert.get(), key.get()) != 1) {
    ERR_clear_error();
    error = u"the code-signing certificate " + signer.certificateFile +
            u" and the key " + signer.keyFile + u" do not belong together";
    return false;
  }
  BioPtr data = MemoryOf(content);
  std::unique_ptr<CMS_ContentInfo, CmsFree> cms(
      CMS_sign(cert.get(), key.get(), chain.get(), data.get(), CMS_DETACHED | CMS_BINARY));
  BioPtr out(BIO_new(BIO_s_mem()));
  char* bytes = nullptr;
  long size = 0;
  if (!cms || !out || i2d_CMS_bio(out.get(), cms.get()) != 1 ||
      (size = BIO_get_mem_data(out.get(), &bytes)) <= 0) {
    ERR_clear_error();
    error = u"cannot make the detached signature";
    return false;
  }
  signature.assign(bytes, static_cast<size_t>(size));
  return true;
}

bool SignAuthenticode(const CodeSigner& signer, const std::u16string& program,
                      const std::u16string& signedCopy, std::u16string& error) {
  int exitCode = -1;
  const uint32_t startError = VendraPlatform::RunProgram(
      {u"osslsigncode", u"sign", u"-certs", signer.certificateFile, u"-key", signer.keyFile,
       u"-h", u"sha256", u"-in", program, u"-out", signedCopy},
      exitCode);
  if (startError == 0 && exitCode == 0) return true;
  VendraPlatform::DeleteFile(signedCopy);
  error = startError != 0
              ? u"cannot start osslsigncode (is it installed?) to sign " + program
              : u"osslsigncode could not sign " + program + u" (see its message above)";
  return false;
}

}  // namespace VendraBuild
