// Build objects as a hostile service would send them, through the
// publisher-signature check: whatever has a canonical text must give the
// same text again after that text is parsed (the form is a fixed point, so
// signer and checker can never disagree about it), and the check answers
// without a crash for any member of any type.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "json/object.h"
#include "json/parser.h"
#include "packagemanager/release/canonical_json.h"
#include "packagemanager/release/release_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Vendra::RefPtr<VendraJSON::VSJObject> build;
  std::u16string error;
  if (!VendraJSON::ParseObjectA(reinterpret_cast<const char*>(data), size, build.Receive(),
                                error))
    return 0;
  std::string canonical;
  if (VendraBuild::CanonicalJson(build.get(), canonical, error)) {
    Vendra::RefPtr<VendraJSON::VSJObject> again;
    std::string second;
    if (!VendraJSON::ParseObjectA(canonical.data(), canonical.size(), again.Receive(), error) ||
        !VendraBuild::CanonicalJson(again.get(), second, error) || second != canonical)
      std::abort();
  }
  // A fixed key: the chain and the signature are checked against it.
  static const std::vector<std::string> pinned{std::string(32, '\x5a')};
  VendraBuild::SignedRelease release;
  VendraBuild::VerifyBuildSignature(build.get(), pinned, {}, release, error);
  return 0;
}
