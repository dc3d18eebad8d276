// POSIX layer only.
//
// There is no code-signing service in the system here, so a file's signature
// is a detached CMS (PKCS #7) signed-data file beside it, checked with
// libcrypto against the system's trust store and our own trust lists. The
// answers are the status numbers of the Windows trust provider, so callers
// judge them the same way on every system. docs/signatures.md describes the
// format and the lists.
#include "platform/signature_check.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
// cms.h declares its PEM readers only after pem.h.
#include <openssl/cms.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/posix_text.h"
#include "platform/process.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

constexpr char16_t kSignatureSuffix[] = u".p7s";
// The machine's own trust lists, relocated below VENDRA_MACHINE_ROOT with the
// other machine-wide places.
constexpr char16_t kTrustedFolder[] = u"/etc/vendra/trusted";
constexpr char16_t kDisallowedFolder[] = u"/etc/vendra/disallowed";

struct BioFree {
  void operator()(BIO* b) const { BIO_free(b); }
};
struct CmsFree {
  void operator()(CMS_ContentInfo* c) const { CMS_ContentInfo_free(c); }
};
struct StoreFree {
  void operator()(X509_STORE* s) const { X509_STORE_free(s); }
};
struct StoreCtxFree {
  void operator()(X509_STORE_CTX* c) const { X509_STORE_CTX_free(c); }
};
struct CertStackFree {
  void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};
struct CertFree {
  void operator()(X509* x) const { X509_free(x); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, CmsFree>;
using StorePtr = std::unique_ptr<X509_STORE, StoreFree>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, StoreCtxFree>;
using CertStackPtr = std::unique_ptr<STACK_OF(X509), CertStackFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

// libcrypto keeps its errors per thread; none of ours may linger for the
// next user of the queue.
class ErrorQueueScope {
 public:
  ErrorQueueScope() { ERR_clear_error(); }
  ~ErrorQueueScope() { ERR_clear_error(); }
};

SignatureCheck Answer(uint32_t status) { return {status, status}; }
SignatureCheck FileError(uint32_t sysError) { return {TrustStatus::kFileError, sysError}; }

std::u16string MachinePlace(const char16_t* systemPath) {
  const std::u16string root = EnvironmentVariable("VENDRA_MACHINE_ROOT");
  return root.empty() ? std::u16string(systemPath) : PathAppend(root, systemPath);
}

// Opens a file for reading as a descriptor; a folder is refused as Windows
// refuses it. Answers a system error number.
uint32_t OpenRegularFile(const std::string& path, int& fd) {
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Posix::SysErrorFromErrno(errno);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    fd = -1;
    return SysError::kAccessDenied;
  }
  return SysError::kSuccess;
}

// Every certificate of a file: PEM (one or more) or a single DER one.
void AddCertificates(const std::string& bytes, std::vector<CertPtr>& out) {
  BioPtr pem(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  size_t found = 0;
  while (X509* cert = PEM_read_bio_X509(pem.get(), nullptr, nullptr, nullptr)) {
    out.emplace_back(cert);
    ++found;
  }
  if (found == 0) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (X509* cert = d2i_X509(nullptr, &p, static_cast<long>(bytes.size()))) out.emplace_back(cert);
  }
  ERR_clear_error();
}

// The certificates of every file in a trust list folder; a missing folder or
// an unreadable file adds nothing.
std::vector<CertPtr> LoadCertificateFolder(const std::u16string& folder) {
  std::vector<CertPtr> certs;
  std::vector<FolderEntry> entries;
  if (ListFolder(folder, entries) != SysError::kSuccess) return certs;
  for (const FolderEntry& entry : entries) {
    if (entry.isFolder) continue;
    std::string bytes;
    if (ReadWholeFile(JoinFileName(folder, entry.name), bytes) == SysError::kSuccess)
      AddCertificates(bytes, certs);
  }
  return certs;
}

CmsPtr ParseSignature(const std::string& bytes) {
  BioPtr der(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  if (CMS_ContentInfo* cms = d2i_CMS_bio(der.get(), nullptr)) return CmsPtr(cms);
  BioPtr pem(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  return CmsPtr(PEM_read_bio_CMS(pem.get(), nullptr, nullptr, nullptr));
}

// The signatures themselves: each signer's signature over the signed
// attributes and the content digest against the file's bytes.
uint32_t VerifySignatures(CMS_ContentInfo* cms, BIO* content) {
  if (CMS_verify(cms, nullptr, nullptr, content, nullptr,
                 CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) == 1)
    return TrustStatus::kTrusted;
  const unsigned long err = ERR_peek_last_error();
  if (ERR_GET_LIB(err) == ERR_LIB_CMS) {
    switch (ERR_GET_REASON(err)) {
      case CMS_R_NO_SIGNERS:
        return TrustStatus::kNoSignature;
      case CMS_R_SIGNER_CERTIFICATE_NOT_FOUND:
        return TrustStatus::kNoSignerCert;
      default:
        break;
    }
  }
  return TrustStatus::kBadDigest;
}

bool IsListed(X509* cert, const std::vector<CertPtr>& list) {
  for (const CertPtr& listed : list)
    if (X509_cmp(cert, listed.get()) == 0) return true;
  return false;
}

bool AnyListed(STACK_OF(X509) * certs, const std::vector<CertPtr>& list) {
  if (!certs) return false;
  for (int i = 0; i < sk_X509_num(certs); ++i)
    if (IsListed(sk_X509_value(certs, i), list)) return true;
  return false;
}

uint32_t StatusOfChainError(int error) {
  switch (error) {
    case X509_V_OK:
      return TrustStatus::kTrusted;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return TrustStatus::kUntrustedRoot;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return TrustStatus::kCertExpired;
    case X509_V_ERR_INVALID_PURPOSE:
      return TrustStatus::kWrongUsage;
    default:
      return TrustStatus::kSubjectNotTrusted;
  }
}

// A certificate that names its uses must allow code signing.
bool AllowsCodeSigning(X509* cert) {
  if (!(X509_get_extension_flags(cert) & EXFLAG_XKUSAGE)) return true;
  return (X509_get_extended_key_usage(cert) & (XKU_CODE_SIGN | XKU_ANYEKU)) != 0;
}

// Builds each signer's chain to a trusted root at the current time, without
// revocation checks. A distrusted certificate anywhere in what the signature
// carries or the chain reaches wins over every other finding.
uint32_t VerifySigners(CMS_ContentInfo* cms) {
  const std::vector<CertPtr> disallowed = LoadCertificateFolder(MachinePlace(kDisallowedFolder));
  StorePtr store(X509_STORE_new());
  if (!store) return TrustStatus::kSubjectNotTrusted;
  X509_STORE_set_default_paths(store.get());
  for (const CertPtr& cert : LoadCertificateFolder(MachinePlace(kTrustedFolder)))
    X509_STORE_add_cert(store.get(), cert.get());
  ERR_clear_error();

  CertStackPtr carried(CMS_get1_certs(cms));
  if (AnyListed(carried.get(), disallowed)) return TrustStatus::kExplicitDistrust;

  STACK_OF(X509)* signers = CMS_get0_signers(cms);
  if (!signers || sk_X509_num(signers) == 0) {
    sk_X509_free(signers);
    return TrustStatus::kNoSignerCert;
  }
  uint32_t status = TrustStatus::kTrusted;
  for (int i = 0; i < sk_X509_num(signers) && status == TrustStatus::kTrusted; ++i) {
    X509* signer = sk_X509_value(signers, i);
    StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!ctx || X509_STORE_CTX_init(ctx.get(), store.get(), signer, carried.get()) != 1) {
      status = TrustStatus::kSubjectNotTrusted;
      break;
    }
    const bool verified = X509_verify_cert(ctx.get()) == 1;
    CertStackPtr chain(X509_STORE_CTX_get1_chain(ctx.get()));
    if (IsListed(signer, disallowed) || AnyListed(chain.get(), disallowed))
      status = TrustStatus::kExplicitDistrust;
    else if (!verified)
      status = StatusOfChainError(X509_STORE_CTX_get_error(ctx.get()));
    else if (!AllowsCodeSigning(signer))
      status = TrustStatus::kWrongUsage;
  }
  sk_X509_free(signers);
  return status;
}

}  // namespace

SignatureCheck CheckFileSignature(std::u16string_view path) {
  ErrorQueueScope errors;
  int contentFd = -1;
  if (const uint32_t err = OpenRegularFile(Posix::Native(path), contentFd)) return FileError(err);
  BioPtr content(BIO_new_fd(contentFd, BIO_CLOSE));
  if (!content) {
    ::close(contentFd);
    return FileError(SysError::kNotEnoughMemory);
  }

  std::u16string signaturePath(path);
  signaturePath += kSignatureSuffix;
  std::string signatureBytes;
  const uint32_t signatureError = ReadWholeFile(signaturePath, signatureBytes);
  if (signatureError == SysError::kFileNotFound || signatureError == SysError::kPathNotFound)
    return Answer(TrustStatus::kNoSignature);
  if (signatureError) return FileError(signatureError);

  CmsPtr cms = ParseSignature(signatureBytes);
  if (!cms || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed)
    return Answer(TrustStatus::kBadMessage);
  // A signature that carries its own content vouches for that, not for the file.
  if (CMS_is_detached(cms.get()) != 1) return Answer(TrustStatus::kBadMessage);

  if (const uint32_t status = VerifySignatures(cms.get(), content.get())) return Answer(status);
  return Answer(VerifySigners(cms.get()));
}

}  // namespace VendraPlatform
