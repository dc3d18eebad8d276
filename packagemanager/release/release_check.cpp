#include "packagemanager/release/release_check.h"

#include <algorithm>
#include <set>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/files.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/release/ed25519.h"
#include "packagemanager/release/utc_text.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJObject;

std::u16string TrustConfigPath() {
  std::u16string named = VendraPlatform::EnvironmentVariable("VENDRA_BUILD_CONFIG");
  if (!named.empty()) return named;
  return VendraPlatform::JoinFileName(VendraPlatform::FolderOf(VendraPlatform::ModuleFileName()),
                                      kTrustConfigName);
}

bool IsDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::vector<std::string> VersionParts(const std::string& version) {
  std::vector<std::string> parts(1);
  for (const char c : version) {
    if (c == '.' || c == '-') parts.emplace_back();
    else parts.back().push_back(c);
  }
  return parts;
}

// The installed release holds back lower counters and versions, unless a
// key that signed or vouched for it is revoked: then it was not the
// publisher's to begin with, and only the counter the revocation names (the
// highest, when several keys of it are revoked; none when the revocation is
// known from the record alone) holds, never above what was recorded.
bool AboveFloor(const SignedRelease& release, const InstalledRelease& installed,
                bool allowDowngrade, std::u16string& error) {
  std::string revokedKey;
  int64_t reset = 0;
  for (const std::string& key : installed.release.keys) {
    if (!release.revokedKeys.count(key)) continue;
    if (revokedKey.empty()) revokedKey = key;
    if (const auto named = release.counterResets.find(key); named != release.counterResets.end())
      reset = std::max(reset, named->second);
  }
  if (!revokedKey.empty()) {
    const int64_t floor = std::min(reset, installed.release.counter);
    if (release.counter >= floor) return true;
    error = VendraText::Format(
        u"Rollback refused: the build's release counter %I64d is lower than %I64d, which its "
        u"publisher kept when revoking key %hs.",
        release.counter, floor, revokedKey);
    return false;
  }
  if (release.counter < installed.release.counter) {
    error = VendraText::Format(
        u"Rollback refused: the build's release counter %I64d is lower than %I64d of the "
        u"installed %hs.",
        release.counter, installed.release.counter, installed.version);
    return false;
  }
  if (!allowDowngrade && CompareVersions(release.version, installed.version) < 0) {
    error = VendraText::Format(
        u"Downgrade refused: version %hs is lower than the installed %hs (pass "
        u"--allow-downgrade to install it anyway).",
        release.version, installed.version);
    return false;
  }
  return true;
}

}  // namespace

bool LoadTrustConfig(TrustConfig& config, std::u16string& error) {
  config = TrustConfig();
  const std::u16string path = TrustConfigPath();
  if (!VendraPlatform::FileExists(path)) return true;
  // Filled apart, so that a configuration refused half-way grants nothing.
  TrustConfig loaded;
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  std::u16string parseError;
  if (!VendraJSON::LoadFile(path, value.Receive(), parseError) ||
      value->GetType() != VendraJSON::kTypeObject) {
    error = u"The package manager's configuration " + path + u" cannot be read: " + parseError;
    return false;
  }
  const auto* object = static_cast<const VSJObject*>(value.get());
  Vendra::RefPtr<VendraJSON::VSJArray> keys;
  if (object->Has(u"publisher_keys")) {
    bool good = object->GetArray(u"publisher_keys", keys.Receive());
    for (size_t i = 0; good && i < keys->Count(); ++i) {
      Vendra::RefPtr<VendraJSON::VSJValue> key;
      std::string text, raw;
      good = keys->At(i)->GetValue(key.Receive()) &&
             key->GetType() == VendraJSON::kTypeString && key->ToStringA(text) &&
             Base64Decode(text, raw) && raw.size() == kEd25519PublicKeySize;
      if (good) loaded.publisherKeys.push_back(raw);
    }
    if (!good) {
      error = u"The package manager's configuration " + path +
              u" is wrong: \"publisher_keys\" must list Ed25519 public keys in base64.";
      return false;
    }
  }
  if (object->Has(u"accept_unsigned_builds")) {
    Vendra::RefPtr<VendraJSON::VSJValue> accept;
    object->Get(u"accept_unsigned_builds", accept.Receive());
    const int type = accept ? accept->GetType() : VendraJSON::kTypeNull;
    if (type != VendraJSON::kTypeTrue && type != VendraJSON::kTypeFalse) {
      error = u"The package manager's configuration " + path +
              u" is wrong: \"accept_unsigned_builds\" must be true or false.";
      return false;
    }
    loaded.acceptUnsigned = type == VendraJSON::kTypeTrue;
  }
  if (object->Has(u"build_lists")) {
    Vendra::RefPtr<VSJObject> lists;
    bool good = object->GetObject(u"build_lists", lists.Receive());
    for (size_t i = 0; good && i < lists->Count(); ++i) {
      Vendra::RefPtr<VendraJSON::VSJValue> name;
      std::string text;
      good = lists->HolderAt(i)->GetValue(name.Receive()) &&
             name->GetType() == VendraJSON::kTypeString && name->ToStringA(text) &&
             !text.empty();
      if (good) loaded.buildLists[VendraText::Utf16ToUtf8(lists->KeyAt(i))] = text;
    }
    if (!good) {
      error = u"The package manager's configuration " + path +
              u" is wrong: \"build_lists\" must name each product's build list as a text.";
      return false;
    }
  }
  config = loaded;
  return true;
}

std::string BuildListOf(const TrustConfig& config, const std::string& product) {
  const auto named = config.buildLists.find(product);
  return named == config.buildLists.end() ? product : named->second;
}

bool CheckRelease(const VSJObject* build, const TrustConfig& config,
                  const ReleaseRequest& request, ReleaseFloor& admitted, std::u16string& error) {
  const InstalledRelease* installed =
      request.installed && request.installed->product == request.product ? &*request.installed
                                                                         : nullptr;
  const std::set<std::string> known =
      installed ? installed->release.revokedKeys : std::set<std::string>();
  SignedRelease release;
  const SignatureVerdict verdict =
      VerifyBuildSignature(build, config.publisherKeys, known, release, error);
  if (verdict == SignatureVerdict::kUnsigned && config.acceptUnsigned) {
    admitted = ReleaseFloor();
    admitted.revokedKeys = known;
    return true;
  }
  if (verdict == SignatureVerdict::kUnsigned) {
    error += u" Unsigned builds are refused unless the package manager's configuration sets "
             u"\"accept_unsigned_builds\".";
    return false;
  }
  if (verdict != SignatureVerdict::kValid) return false;

  // The signature vouches for these; the top-level members the client goes
  // by must say the same.
  std::string software, branch, version;
  build->GetStringA(u"software", software);
  build->GetStringA(u"branch", branch);
  build->GetStringA(u"version", version);
  if (release.product != request.product || release.branch != request.branch ||
      release.version != request.version || software != release.product ||
      branch != release.branch || version != release.version) {
    error = VendraText::Format(
        u"The signed build is %hs %hs %hs, not the requested %hs %hs %hs.", release.product,
        release.branch, release.version, request.product, request.branch, request.version);
    return false;
  }
  if (request.now >= release.expires) {
    error = VendraText::Format(
        u"The build's signature expired at %hs: the service offers a stale release.",
        UtcText(release.expires));
    return false;
  }
  if (installed && !AboveFloor(release, *installed, request.allowDowngrade, error)) return false;
  admitted.counter = release.counter;
  admitted.keys = {release.keyId};
  admitted.keys.insert(admitted.keys.end(), release.vouchers.begin(), release.vouchers.end());
  admitted.revokedKeys = release.revokedKeys;
  return true;
}

int CompareVersions(const std::string& a, const std::string& b) {
  const std::vector<std::string> left = VersionParts(a), right = VersionParts(b);
  for (size_t i = 0; i < left.size() && i < right.size(); ++i) {
    const std::string& x = left[i];
    const std::string& y = right[i];
    if (IsDigits(x) && IsDigits(y)) {
      const size_t xs = x.find_first_not_of('0'), ys = y.find_first_not_of('0');
      const std::string xv = xs == std::string::npos ? "" : x.substr(xs);
      const std::string yv = ys == std::string::npos ? "" : y.substr(ys);
      if (xv.size() != yv.size()) return xv.size() < yv.size() ? -1 : 1;
      if (const int order = xv.compare(yv)) return order;
    } else if (const int order = x.compare(y)) {
      return order;
    }
  }
  return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

}  // namespace VendraBuild
