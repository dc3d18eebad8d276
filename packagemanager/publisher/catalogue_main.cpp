// vendra-catalogue: the release engineer's tool. Publishes a folder as a
// build of a product into a service root (signed with the publisher's key,
// its programs with the publisher's code-signing certificate), places a
// utility, lists what a root holds, makes publisher keys and revokes leaked
// ones.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/cli/arguments.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "packagemanager/publisher/catalogue_listing.h"
#include "packagemanager/publisher/catalogue_publish.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/publisher/code_signing.h"
#include "common/text/display_units.h"
#include "packagemanager/publisher/key_revocation.h"
#include "packagemanager/publisher/publisher_key.h"
#include "packagemanager/release/release_check.h"
#include "packagemanager/publisher/release_signing.h"
#include "packagemanager/release/utc_text.h"
#include "json/array.h"
#include "json/files.h"
#include "json/object.h"
#include "json/value_container.h"
#include "platform/entry_point.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/program_arguments.h"

namespace {

constexpr char kProgram[] = "vendra-catalogue";

constexpr char kHelp[] =
    "usage: vendra-catalogue publish --root ROOT [--create] --product P --branch B --version V\n"
    "                                [--build-list NAME] [--replace] [--chunks]\n"
    "                                (SIGNING | --unsigned)\n"
    "                                FOLDER\n"
    "       vendra-catalogue utility --root ROOT [--create] [--name NAME] [--version V]\n"
    "                                (--key KEY_FILE [--counter N] [--expires-*]\n"
    "                                 | --unsigned) FILE\n"
    "       vendra-catalogue list --root ROOT [--json]\n"
    "       vendra-catalogue keygen [--signed-by OLD_KEY_FILE] KEY_FILE\n"
    "       vendra-catalogue revoke --signed-by PINNED_KEY_FILE --key-id ID\n"
    "                               [--reset-counter N] KEY_FILE\n"
    "       vendra-catalogue sign-list --root ROOT --key KEY_FILE [--build-list NAME]\n"
    "                                  [--expires-days N]\n"
    "SIGNING: --key KEY_FILE [--counter N] [--expires-days N | --expires-at UNIX_SECONDS]\n"
    "         [--code-sign-cert CERT.pem --code-sign-key KEY.pem\n"
    "          [--code-sign-format p7s | authenticode]]\n"
    "\n"
    "publish   packs every file below FOLDER (sub-folders included) as the build\n"
    "          P/B/V of the service root ROOT, writes its build.json, and then\n"
    "          makes V the version of branch B in the build list NAME (default P).\n"
    "          P, B, V and NAME are 1 to 64 letters, digits and . _ + -.\n"
    "          A version is published once; publish changes under a new version\n"
    "          (--replace overwrites one: clients fetching it meanwhile may fail).\n"
    "          --chunks also cuts every file into chunks, stores those not yet in\n"
    "          the product's chunk store (ROOT/chunks/P) and lists them per file,\n"
    "          so that clients can fetch only what changed.\n"
    "          With --key the build object is signed (release counter: --counter,\n"
    "          default one more than the product's highest; expiry 90 days or as\n"
    "          given), and so is the build list (expiry 7 days); with a\n"
    "          code-signing certificate and key every program (.exe)\n"
    "          gets a detached signature NAME.p7s in the build, or with\n"
    "          --code-sign-format authenticode is signed inside (osslsigncode).\n"
    "          Without --key it refuses, since every package manager refuses an\n"
    "          unsigned build unless configured to accept them: --unsigned\n"
    "          publishes one for such a configuration.\n"
    "utility   places FILE as the utility NAME (default \"vendrabuild\"), its manifest\n"
    "          signed with --key (version V, default the release counter; counter\n"
    "          and expiry as for publish); installers refuse it --unsigned.\n"
    "list      shows the builds, build lists and utilities of ROOT.\n"
    "keygen    makes a publisher key (prints public_key and key_id); --signed-by\n"
    "          lets an older key vouch for it.\n"
    "ROOT is an existing folder (a mistyped one is refused); --create, with\n"
    "publish and utility, makes it when it does not exist yet.\n"
    "revoke    after a key leaked: the pinned key signs a revocation of the key ID\n"
    "          (and of every key it vouched for), which every build KEY_FILE signs\n"
    "          from then on carries; a release the revoked key signed then holds\n"
    "          back no release counter above N (default 0).\n"
    "sign-list signs the build list NAME of ROOT (default: every one) again as it\n"
    "          is, to expire in N days (default 7); run it on a schedule, on the\n"
    "          publisher's own copy of the catalogue.\n"
    "\n"
    "Exit codes: 0 success, 1 failure (the reason on standard error),\n"
    "2 the command line is wrong.\n";

int Fail(const std::u16string& error) {
  std::fprintf(stderr, "%s: %s\n", kProgram, VendraText::ShownOnTerminalUtf8(error).c_str());
  return VendraCli::kExitFailure;
}

// The service root of the command line. It must exist: a mistyped one
// would otherwise become a new root that no service reads. Only a command
// that may make one (mayCreate) does so, when --create says it should.
// False with code set when it cannot be used.
bool ServiceRoot(const VendraCli::Arguments& args, bool mayCreate, std::u16string& root,
                 int& code) {
  if (args.Switch("create") && !mayCreate) {
    code = VendraCli::UsageError(kProgram, "--create goes with publish and utility");
    return false;
  }
  root = VendraText::Utf8ToUtf16(args.Get("root"));
  if (args.Switch("create") || VendraPlatform::FolderExists(root)) return true;
  code = Fail(u"there is no folder " + root + u" (the service root --root names): check the path" +
              (mayCreate ? u", or give --create to make a new service root there" : u""));
  return false;
}

constexpr int64_t kSecondsPerDay = 86400;

// The release counter of a published build as far as it counts: a build
// signed by a revoked key (named as its key or in its key chain) counts no
// higher than the counter its revocation keeps, since a leaked key may have
// signed it.
int64_t CountedCounter(const VendraJSON::VSJObject* signature, int64_t counter,
                       const std::map<std::string, int64_t>& resets) {
  std::vector<std::string> keys(1);
  signature->GetStringA(u"key_id", keys[0]);
  Vendra::RefPtr<VendraJSON::VSJArray> chain;
  if (signature->GetArray(u"key_chain", chain.Receive())) {
    for (const auto* holder : *chain) {
      Vendra::RefPtr<VendraJSON::VSJValue> statement;
      if (holder->GetValue(statement.Receive()) &&
          statement->GetType() == VendraJSON::kTypeObject)
        static_cast<VendraJSON::VSJObject*>(statement.get())
            ->GetStringA(u"signed_by", keys.emplace_back());
    }
  }
  bool revoked = false;
  int64_t kept = 0;
  for (const std::string& key : keys) {
    if (const auto reset = resets.find(key); reset != resets.end()) {
      revoked = true;
      kept = std::max(kept, reset->second);
    }
  }
  return revoked ? std::min(counter, kept) : counter;
}

// The highest release counter among the product's published builds, 0 when
// none is signed.
int64_t HighestCounter(const std::u16string& productFolder,
                       const std::map<std::string, int64_t>& resets) {
  using VendraPlatform::JoinFileName;
  int64_t highest = 0;
  std::vector<VendraPlatform::FolderEntry> branches, versions;
  VendraPlatform::ListFolder(productFolder, branches);
  for (const auto& branch : branches) {
    if (!branch.isFolder) continue;
    versions.clear();
    VendraPlatform::ListFolder(JoinFileName(productFolder, branch.name), versions);
    for (const auto& version : versions) {
      Vendra::RefPtr<VendraJSON::VSJValue> build;
      std::u16string ignored;
      Vendra::RefPtr<VendraJSON::VSJObject> signature;
      int64_t counter = 0;
      if (version.isFolder &&
          VendraJSON::LoadFile(JoinFileName(JoinFileName(JoinFileName(productFolder, branch.name),
                                                         version.name),
                                            u"build.json"),
                               build.Receive(), ignored) &&
          build->GetType() == VendraJSON::kTypeObject &&
          static_cast<VendraJSON::VSJObject*>(build.get())
              ->GetObject(VendraBuild::kReleaseSignatureMember, signature.Receive()) &&
          signature->GetInteger(u"counter", counter))
        highest = std::max(highest, CountedCounter(signature.get(), counter, resets));
    }
  }
  return highest;
}

// The release counter (0 when --counter is not given) and the expiry of a
// signature from --counter and --expires-days (default 90) or --expires-at.
// False after printing a usage error (code set).
bool ReadReleaseOptions(const VendraCli::Arguments& args, int64_t& counter, int64_t& expires,
                        int& code) {
  long long given = 0, days = 90, at = 0;
  if ((args.Has("counter") && (!VendraCli::ParseCount(args.Get("counter"), given) ||
                               given <= 0)) ||
      (args.Has("expires-days") &&
       (!VendraCli::ParseCount(args.Get("expires-days"), days) || days <= 0)) ||
      (args.Has("expires-at") && !VendraCli::ParseCount(args.Get("expires-at"), at)) ||
      (args.Has("expires-days") && args.Has("expires-at"))) {
    code = VendraCli::UsageError(
        kProgram, "--counter and --expires-days take a positive number, --expires-at Unix "
                  "seconds, and only one of the two --expires-* is given");
    return false;
  }
  counter = given;
  expires = args.Has("expires-at") ? at : VendraPlatform::NowUnixSeconds() + days * kSecondsPerDay;
  return true;
}

// Reads the signing options into request's hooks. False after printing a
// usage error (code set) when they do not fit together.
bool SetUpSigning(const VendraCli::Arguments& args, VendraCatalogue::PublishRequest& request,
                  std::optional<VendraBuild::PublisherKey>& key, int& code) {
  const bool certificate = args.Has("code-sign-cert");
  if (certificate != args.Has("code-sign-key")) {
    code = VendraCli::UsageError(kProgram, "--code-sign-cert and --code-sign-key go together");
    return false;
  }
  const std::string format = args.Has("code-sign-format") ? args.Get("code-sign-format") : "p7s";
  if (format != "p7s" && format != "authenticode") {
    code = VendraCli::UsageError(kProgram, "--code-sign-format is p7s or authenticode");
    return false;
  }
  if (args.Has("code-sign-format") && !certificate) {
    code = VendraCli::UsageError(kProgram, "--code-sign-format needs --code-sign-cert");
    return false;
  }
  if (certificate) {
    VendraBuild::CodeSigner signer{VendraText::Utf8ToUtf16(args.Get("code-sign-cert")),
                                   VendraText::Utf8ToUtf16(args.Get("code-sign-key"))};
    if (format == "authenticode") {
      request.embedSignature = [signer](const std::u16string& program,
                                        const std::u16string& signedCopy, std::u16string& error) {
        return VendraBuild::SignAuthenticode(signer, program, signedCopy, error);
      };
    } else {
      request.signProgram = [signer](const std::string& content, std::string& signature,
                                     std::u16string& error) {
        return VendraBuild::SignDetached(signer, content, signature, error);
      };
    }
  }
  const bool anyReleaseOption =
      args.Has("counter") || args.Has("expires-days") || args.Has("expires-at");
  if (args.Has("key") && args.Switch("unsigned")) {
    code = VendraCli::UsageError(kProgram, "--key and --unsigned exclude each other");
    return false;
  }
  if (!args.Has("key")) {
    if (anyReleaseOption) {
      code = VendraCli::UsageError(kProgram, "--counter and --expires-* need --key");
      return false;
    }
    // An unsigned build is published only on purpose: no client installs it
    // as it stands.
    if (!args.Switch("unsigned")) {
      code = VendraCli::UsageError(
          kProgram, "publish needs --key KEY_FILE: every package manager refuses an unsigned "
                    "build unless its configuration accepts unsigned builds; give --unsigned "
                    "to publish one for such a configuration");
      return false;
    }
    return true;
  }
  int64_t counter = 0, expires = 0;
  if (!ReadReleaseOptions(args, counter, expires, code)) return false;
  std::u16string error;
  key.emplace();
  if (!key->Load(VendraText::Utf8ToUtf16(args.Get("key")), error)) {
    code = Fail(error);
    return false;
  }
  VendraBuild::SignedRelease release;
  release.product = request.product;
  release.branch = request.branch;
  release.version = request.version;
  if (counter == 0) {
    const int64_t highest = HighestCounter(
        VendraPlatform::PathAppend(request.root,
                                   u"catalogue\\" + VendraText::Utf8ToUtf16(request.product)),
        VendraBuild::RevocationResets(*key));
    if (highest == std::numeric_limits<int64_t>::max()) {
      code = Fail(u"a build of the product has the highest release counter there is: give "
                  u"--counter, and revoke the key that signed it if it leaked");
      return false;
    }
    counter = highest + 1;
  }
  release.counter = counter;
  release.expires = expires;
  const VendraBuild::PublisherKey* signingKey = &*key;
  request.signBuild = [signingKey, release](VendraJSON::VSJObject* build,
                                            std::u16string& signError) {
    if (!VendraBuild::SignBuild(build, *signingKey, release, signError)) return false;
    std::printf("signed with key %s: release counter %lld, expires %s\n",
                signingKey->keyId().c_str(), static_cast<long long>(release.counter),
                VendraBuild::UtcText(release.expires).c_str());
    return true;
  };
  return true;
}

// Signs build lists with key, to expire days from now.
VendraCatalogue::ListSigner BuildListSigner(const VendraBuild::PublisherKey& key, int64_t days) {
  const int64_t expires = VendraPlatform::NowUnixSeconds() + days * kSecondsPerDay;
  return [&key, expires](VendraJSON::VSJObject* list, const std::string& name,
                         std::u16string& error) {
    if (!VendraBuild::SignBuildList(list, key, name, expires, error)) return false;
    std::printf("signed the build list %s with key %s: expires %s\n", name.c_str(),
                key.keyId().c_str(), VendraBuild::UtcText(expires).c_str());
    return true;
  };
}

int Publish(const VendraCli::Arguments& args) {
  if (args.positional.size() != 2) return VendraCli::UsageError(kProgram, "publish takes one FOLDER");
  for (const char* needed : {"root", "product", "branch", "version"})
    if (!args.Has(needed))
      return VendraCli::UsageError(kProgram, std::string("publish needs --") + needed);
  VendraCatalogue::PublishRequest request;
  request.product = args.Get("product");
  request.branch = args.Get("branch");
  request.version = args.Get("version");
  request.buildList = args.Get("build-list");
  request.replace = args.Switch("replace");
  request.chunks = args.Switch("chunks");
  request.folder = VendraText::Utf8ToUtf16(args.positional[1]);
  // Names are checked before a key is read or a counter looked for.
  std::u16string error;
  if (!VendraCatalogue::CheckNames(request, error)) return Fail(error);
  std::optional<VendraBuild::PublisherKey> key;
  int code = 0;
  if (!ServiceRoot(args, true, request.root, code) || !SetUpSigning(args, request, key, code))
    return code;
  if (key) request.signList = BuildListSigner(*key, VendraBuild::kBuildListLifetimeDays);
  VendraCatalogue::PublishResult result;
  const auto progress = [](const std::u16string& name, uint64_t size) {
    std::printf("  packed %s (%s)\n",
                VendraText::ShownOnTerminalUtf8(VendraPlatform::WithOwnSeparators(name)).c_str(),
                VendraText::FormatBytes(size).c_str());
    std::fflush(stdout);
  };
  if (!VendraCatalogue::Publish(request, progress, result, error)) return Fail(error);
  std::printf("published %s %s %s: %zu file(s), %s (%s compressed)\n", request.product.c_str(),
              request.branch.c_str(), request.version.c_str(), result.files,
              VendraText::FormatBytes(result.bytes).c_str(),
              VendraText::FormatBytes(result.compressedBytes).c_str());
  return VendraCli::kExitSuccess;
}

// The release counter of the utility's manifest in root as far as it counts
// (see CountedCounter), 0 when there is none or it is not signed.
int64_t UtilityCounter(const std::u16string& root, const std::string& name,
                       const std::map<std::string, int64_t>& resets) {
  Vendra::RefPtr<VendraJSON::VSJValue> manifest;
  Vendra::RefPtr<VendraJSON::VSJObject> signature;
  std::u16string ignored;
  int64_t counter = 0;
  if (VendraJSON::LoadFile(VendraPlatform::PathAppend(
                               root, VendraText::Utf8ToUtf16("utilities\\" + name +
                                                             "\\manifest.json")),
                           manifest.Receive(), ignored) &&
      manifest->GetType() == VendraJSON::kTypeObject &&
      static_cast<VendraJSON::VSJObject*>(manifest.get())
          ->GetObject(VendraBuild::kReleaseSignatureMember, signature.Receive()) &&
      signature->GetInteger(u"counter", counter))
    return CountedCounter(signature.get(), counter, resets);
  return 0;
}

// Installers start the package manager only when the publisher signed its
// manifest: without --key the tool refuses, unless told --unsigned (for a
// service that only package managers configured so are to use).
int Utility(const VendraCli::Arguments& args) {
  if (args.positional.size() != 2) return VendraCli::UsageError(kProgram, "utility takes one FILE");
  if (!args.Has("root")) return VendraCli::UsageError(kProgram, "utility needs --root");
  const bool unsignedUtility = args.Switch("unsigned");
  if (args.Has("key") == unsignedUtility)
    return VendraCli::UsageError(kProgram, "utility needs either --key KEY_FILE or --unsigned "
                                           "(installers refuse an unsigned package manager)");
  if (unsignedUtility && (args.Has("counter") || args.Has("expires-days") ||
                          args.Has("expires-at") || args.Has("version")))
    return VendraCli::UsageError(kProgram, "--counter, --expires-* and --version need --key");
  const std::string name = args.Get("name", "vendrabuild");
  std::u16string root;
  if (int code = 0; !ServiceRoot(args, true, root, code)) return code;
  std::optional<VendraBuild::PublisherKey> key;
  VendraBuild::SignedRelease release;
  std::function<bool(VendraJSON::VSJObject*, std::u16string&)> sign;
  std::u16string error;
  if (!unsignedUtility) {
    int code = 0;
    if (!ReadReleaseOptions(args, release.counter, release.expires, code)) return code;
    if (args.Has("version") && !VendraCatalogue::IsSafeCatalogueName(args.Get("version")))
      return VendraCli::UsageError(kProgram, "--version is 1 to 64 letters, digits and . _ + -");
    key.emplace();
    if (!key->Load(VendraText::Utf8ToUtf16(args.Get("key")), error)) return Fail(error);
    if (release.counter == 0) {
      const int64_t highest = UtilityCounter(root, name, VendraBuild::RevocationResets(*key));
      if (highest == std::numeric_limits<int64_t>::max())
        return Fail(u"the utility's manifest has the highest release counter there is: give "
                    u"--counter, and revoke the key that signed it if it leaked");
      release.counter = highest + 1;
    }
    release.product = name;
    release.version = args.Get("version", std::to_string(release.counter));
    sign = [&](VendraJSON::VSJObject* manifest, std::u16string& signError) {
      if (!VendraBuild::SignUtility(manifest, *key, release, signError)) return false;
      std::printf("signed with key %s: version %s, release counter %lld, expires %s\n",
                  key->keyId().c_str(), release.version.c_str(),
                  static_cast<long long>(release.counter),
                  VendraBuild::UtcText(release.expires).c_str());
      return true;
    };
  }
  if (!VendraCatalogue::PublishUtility(root, name, VendraText::Utf8ToUtf16(args.positional[1]),
                                       sign, error))
    return Fail(error);
  std::printf("placed %s as the utility %s%s\n", args.positional[1].c_str(), name.c_str(),
              unsignedUtility ? ", unsigned" : "");
  return VendraCli::kExitSuccess;
}

// Makes a publisher key; with --signed-by, the older key vouches for it so
// that package managers pinned to the older key accept builds it signs.
int Keygen(const VendraCli::Arguments& args) {
  if (args.positional.size() != 2) return VendraCli::UsageError(kProgram, "keygen takes one KEY_FILE");
  VendraBuild::PublisherKey older, key;
  std::u16string error;
  const std::u16string signedBy = VendraText::Utf8ToUtf16(args.Get("signed-by"));
  if (!signedBy.empty() && !older.Load(signedBy, error)) return Fail(error);
  if (!key.Generate(VendraText::Utf8ToUtf16(args.positional[1]),
                    signedBy.empty() ? nullptr : &older, error))
    return Fail(error);
  std::printf("public_key %s\nkey_id %s\n", VendraBuild::Base64Encode(key.publicKey()).c_str(),
              key.keyId().c_str());
  return VendraCli::kExitSuccess;
}

// Withdraws a leaked key: a key package managers pin signs its revocation,
// and the key that signs the next builds carries it to them.
int Revoke(const VendraCli::Arguments& args) {
  if (args.positional.size() != 2)
    return VendraCli::UsageError(kProgram, "revoke takes one KEY_FILE");
  if (!args.Has("signed-by") || !args.Has("key-id"))
    return VendraCli::UsageError(kProgram, "revoke needs --signed-by and --key-id");
  long long reset = 0;
  if (args.Has("reset-counter") && !VendraCli::ParseCount(args.Get("reset-counter"), reset))
    return VendraCli::UsageError(kProgram, "--reset-counter takes a number from 0 up");
  VendraBuild::PublisherKey signer, carrier;
  std::u16string error;
  const std::u16string carrierPath = VendraText::Utf8ToUtf16(args.positional[1]);
  if (!signer.Load(VendraText::Utf8ToUtf16(args.Get("signed-by")), error) ||
      !carrier.Load(carrierPath, error) ||
      !VendraBuild::RevokeKey(carrierPath, carrier, signer, args.Get("key-id"), reset, error))
    return Fail(error);
  std::printf("revoked key %s (signed by key %s, release counter floor %lld): the builds key %s "
              "signs carry it\n",
              args.Get("key-id").c_str(), signer.keyId().c_str(), reset,
              carrier.keyId().c_str());
  return VendraCli::kExitSuccess;
}

// Signs the build lists again before their signatures expire: the
// publisher's schedule runs it.
int SignList(const VendraCli::Arguments& args) {
  if (args.positional.size() != 1)
    return VendraCli::UsageError(kProgram, "sign-list takes no words");
  if (!args.Has("root") || !args.Has("key"))
    return VendraCli::UsageError(kProgram, "sign-list needs --root and --key");
  long long days = VendraBuild::kBuildListLifetimeDays;
  if (args.Has("expires-days") &&
      (!VendraCli::ParseCount(args.Get("expires-days"), days) || days <= 0))
    return VendraCli::UsageError(kProgram, "--expires-days takes a positive number");
  std::u16string root;
  if (int code = 0; !ServiceRoot(args, false, root, code)) return code;
  const std::vector<std::string> lists =
      args.Has("build-list") ? std::vector<std::string>{args.Get("build-list")}
                             : VendraCatalogue::BuildListNames(root);
  if (lists.empty()) return Fail(u"no build list in " + root);
  VendraBuild::PublisherKey key;
  std::u16string error;
  if (!key.Load(VendraText::Utf8ToUtf16(args.Get("key")), error)) return Fail(error);
  const VendraCatalogue::ListSigner sign = BuildListSigner(key, days);
  for (const std::string& list : lists)
    if (!VendraCatalogue::SignBuildListAgain(root, list, sign, error)) return Fail(error);
  return VendraCli::kExitSuccess;
}

int List(const VendraCli::Arguments& args) {
  if (args.positional.size() != 1) return VendraCli::UsageError(kProgram, "list takes no words");
  if (!args.Has("root")) return VendraCli::UsageError(kProgram, "list needs --root");
  std::u16string root;
  if (int code = 0; !ServiceRoot(args, false, root, code)) return code;
  VendraCatalogue::Listing listing;
  if (!VendraCatalogue::ReadListing(root, listing))
    return Fail(VendraText::Utf8ToUtf16("no catalogue in " + args.Get("root")));
  const std::string text = args.Switch("json") ? VendraCatalogue::ListingJson(listing)
                                               : VendraCatalogue::ListingText(listing);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return VendraCli::kExitSuccess;
}

}  // namespace

int VendraMain(void*) {
  VendraCli::Arguments args;
  std::string reason;
  if (!VendraCli::Parse(VendraCli::Utf8Arguments(VendraPlatform::ProgramArguments()),
                        {{"root", true},
                         {"product", true},
                         {"branch", true},
                         {"version", true},
                         {"build-list", true},
                         {"name", true},
                         {"json", false},
                         {"replace", false},
                         {"chunks", false},
                         {"unsigned", false},
                         {"key", true},
                         {"counter", true},
                         {"expires-days", true},
                         {"expires-at", true},
                         {"code-sign-cert", true},
                         {"code-sign-key", true},
                         {"code-sign-format", true},
                         {"signed-by", true},
                         {"key-id", true},
                         {"reset-counter", true},
                         {"unsigned", false},
                         {"create", false}},
                        args, reason))
    return VendraCli::UsageError(kProgram, reason);
  if (args.help) return VendraCli::PrintHelp(kHelp);
  if (args.version) return VendraCli::PrintVersion(kProgram);
  if (args.positional.empty()) return VendraCli::UsageError(kProgram, "no command given");
  const std::string& command = args.positional[0];
  if (command == "publish") return Publish(args);
  if (command == "utility") return Utility(args);
  if (command == "list") return List(args);
  if (command == "keygen") return Keygen(args);
  if (command == "revoke") return Revoke(args);
  if (command == "sign-list") return SignList(args);
  return VendraCli::UsageError(kProgram, "unknown command \"" + command + "\"");
}
