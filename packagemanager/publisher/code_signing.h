#pragma once

#include <string>

namespace VendraBuild {

// The publisher's code-signing identity: a PEM file with the signer's
// certificate first and any intermediate authorities after it, and the PEM
// private key that belongs to it.
struct CodeSigner {
  std::u16string certificateFile;
  std::u16string keyFile;
};

// The detached CMS signature (DER) over content, as VerifySignature looks
// for it beside a program elsewhere than on Windows: SHA-256, the signer's
// certificate and the intermediates included.
bool SignDetached(const CodeSigner& signer, const std::string& content, std::string& signature,
                  std::u16string& error);

// Signs a Windows program with Authenticode (osslsigncode, SHA-256, the
// signer's certificate and intermediates) into signedCopy, a new file in a
// folder of the caller's own (nothing may exist there yet). The program file
// itself is left as it is; after a failure no signedCopy is left.
bool SignAuthenticode(const CodeSigner& signer, const std::u16string& program,
                      const std::u16string& signedCopy, std::u16string& error);

}  // namespace VendraBuild
