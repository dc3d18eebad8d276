// The publisher's signature on build objects: its canonical form against a
// second implementation, the verdicts on tampered, foreign, rotated and
// revoked keys, and the release checks the package manager applies before
// downloading.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "json/parser.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/release/canonical_json.h"
#include "packagemanager/release/ed25519.h"
#include "packagemanager/publisher/key_revocation.h"
#include "packagemanager/release/live_version_check.h"
#include "packagemanager/publisher/publisher_key.h"
#include "packagemanager/release/release_check.h"
#include "packagemanager/publisher/release_signing.h"
#include "packagemanager/release/utc_text.h"
#include "packagemanager/release/utility_signature.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;
using VendraTest::TempFolder;

ObjectRef Parse(const std::string& text) {
  ObjectRef object;
  std::u16string error;
  EXPECT_TRUE(VendraJSON::ParseObjectA(text.c_str(), object.Receive(), error))
      << VendraText::Utf16ToUtf8(error);
  return object;
}

std::string Canonical(const VSJObject* object) {
  std::string text;
  std::u16string error;
  EXPECT_TRUE(CanonicalJson(object, text, error)) << VendraText::Utf16ToUtf8(error);
  return text;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The same text through Python's json module, the reference for the form.
std::string PythonCanonical(const TempFolder& folder, const std::string& json) {
  VendraTest::WriteTextFile(folder.Sub("in.json"), json);
  const std::string command =
      "python3 -c 'import json,sys; sys.stdout.buffer.write(json.dumps(json.load(open(sys.argv[1],"
      " encoding=\"utf-8\")), sort_keys=True, separators=(\",\",\":\"), ensure_ascii=False)"
      ".encode(\"utf-8\"))' '" + folder.Sub("in.json") + "' > '" + folder.Sub("out.json") + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << "python3 is needed for this test";
  return ReadAll(folder.Sub("out.json"));
}

TEST(CanonicalJsonTest, MatchesPythonsSortedCompactTextAndSurvivesOurOwnRoundTrip) {
  TempFolder folder;
  // Keys whose UTF-16 order differs from their code point order (U+1F600
  // is a surrogate pair, below U+E000 in UTF-16), every escape class,
  // characters JSON leaves alone, nesting, duplicates (the last one wins).
  const std::string json = R"({
    "z": 1, "a": -9223372036854775807, "\ue000": "private", "\ud83d\ude00": "emoji",
    "é": "accent", "E": 0, "": "empty key", "b": [true, false, null, [], {}, 4611686018427387904],
    "text": "quote\" backslash\\ slash/ \b\f\n\r\t \u0001\u001f \u007f \u2028 \u00e9 \ud834\udd1e",
    "nested": {"y": {"x": [1, {"b": 2, "a": 1}]}, "A": "upper before lower"},
    "dup": 1, "dup": 2
  })";
  ObjectRef object = Parse(json);
  const std::string ours = Canonical(object.get());
  EXPECT_EQ(ours, PythonCanonical(folder, json));

  // Written by our own writer (pretty, members in stored order) and read
  // back, as the client keeps a build: the canonical text does not change.
  int errorCode = 0;
  ASSERT_TRUE(object->SaveFile(errorCode, folder.WSub("saved.json")));
  EXPECT_EQ(Canonical(Parse(ReadAll(folder.Sub("saved.json"))).get()), ours);
  EXPECT_EQ(Canonical(Parse(ours).get()), ours);
}

TEST(CanonicalJsonTest, ValuesWithoutOneCanonicalTextAreRefused) {
  for (const char* json : {R"({"n": 1.5})", R"({"n": [1e3]})", R"({"s": "\ud800"})",
                                 R"({"\udc00": 1})", R"({"s": "\ud800x"})"}) {
    ObjectRef object = Parse(json);
    std::string text;
    std::u16string error;
    EXPECT_FALSE(CanonicalJson(object.get(), text, error)) << json;
    EXPECT_FALSE(error.empty()) << json;
  }
}

TEST(Base64Test, OnlyTheExactEncodingDecodes) {
  for (const std::string& bytes : {std::string(), std::string("f"), std::string("fo"),
                                  std::string("foo"), std::string("\0\xff\x10\x80", 4)}) {
    std::string back;
    EXPECT_TRUE(Base64Decode(Base64Encode(bytes), back));
    EXPECT_EQ(back, bytes);
  }
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  std::string ignored;
  for (const char* bad : {"Zm9vYh==", "Zm9=Yg==", "Zm9vYg=", "Zm9v Yg==", "Zg=a", "Z===", "Zm9v!g=="})
    EXPECT_FALSE(Base64Decode(bad, ignored)) << bad;
}

// A table row's outcome: accepted when it names no refusal, else refused
// with a text that holds the refusal.
void ExpectOutcome(const char* what, bool accepted, const std::u16string& error,
                   std::string_view refusal) {
  const std::string text = VendraText::Utf16ToUtf8(error);
  if (refusal.empty()) {
    EXPECT_TRUE(accepted) << what << ": " << text;
  } else {
    EXPECT_FALSE(accepted) << what;
    EXPECT_NE(text.find(refusal), std::string::npos) << what << ": " << text;
  }
}

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

TEST(Ed25519Test, OnlyTheOneEncodingOfAGoodSignatureHolds) {
  // The first test vector of RFC 8032 (an empty message).
  const std::string key = FromHex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
  const std::string signature = FromHex(
      "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e3970"
      "1cf9b46bd25bf5f0595bbe24655141438e7a100b");
  EXPECT_TRUE(Ed25519Verify(key, "", signature));
  // S raised by the group order: the same point, a second encoding.
  std::string raisedS = signature;
  const unsigned char order[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                   0xa2, 0xde, 0xf9, 0xde, 0x14, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0, 0, 0, 0, 0, 0x10};
  for (unsigned i = 0, carry = 0; i < 32; ++i, carry >>= 8) {
    carry += static_cast<unsigned char>(raisedS[32 + i]) + order[i];
    raisedS[32 + i] = static_cast<char>(carry & 0xff);
  }
  // The neutral point as key and as R with S = 0 holds for every message
  // under a check that lets keys of small order through.
  const std::string neutral = FromHex("01") + std::string(31, '\0');
  const struct {
    std::string key, message, signature;
  } refused[] = {
      {key, "x", signature},
      {key, "", raisedS},
      {key, "", signature.substr(0, 63)},
      {key.substr(0, 31), "", signature},
      {neutral, "any message", neutral + std::string(32, '\0')},
  };
  for (const auto& row : refused)
    EXPECT_FALSE(Ed25519Verify(row.key, row.message, row.signature)) << &row - refused;
}

// Keys made once per test program, in a folder of their own.
class Keys {
 public:
  static Keys& Shared() {
    static Keys keys;
    return keys;
  }
  const PublisherKey& Get(const std::string& name) {
    for (auto& [known, key] : keys_)
      if (known == name) return *key;
    return Make(name, nullptr);
  }
  const PublisherKey& Make(const std::string& name, const PublisherKey* signer) {
    auto key = std::make_unique<PublisherKey>();
    std::u16string error;
    EXPECT_TRUE(key->Generate(folder_.WSub(name), signer, error)) << VendraText::Utf16ToUtf8(error);
    keys_.emplace_back(name, std::move(key));
    return *keys_.back().second;
  }
  const TempFolder& folder() const { return folder_; }

 private:
  TempFolder folder_;
  std::vector<std::pair<std::string, std::unique_ptr<PublisherKey>>> keys_;
};

constexpr int64_t kNow = 1800000000;

ObjectRef SignedBuild(const PublisherKey& key, int64_t counter = 7,
                      const std::string& version = "2.5.1", int64_t expires = kNow + 3600) {
  ObjectRef build = Parse(
      R"({"software": "tdy", "branch": "live", "version": ")" + version +
      R"(", "data": {"files": [{"filename": "Tandory.exe", "size": 40, "sha256": "ab12",)"
      R"( "signed": true}, {"filename": "data\\welcome.txt", "size": 9, "sha256": "cd34",)"
      R"( "chunks": [{"sha256": "ef56", "size": 9, "compressed_size": 17, "pack": "0a1b",)"
      R"( "offset": 0}]}]}})");
  std::u16string error;
  EXPECT_TRUE(SignBuild(build.get(), key, {"tdy", "live", version, expires, counter, ""}, error))
      << VendraText::Utf16ToUtf8(error);
  return build;
}

// Re-reads a build from its text, as the package manager gets it.
ObjectRef Reparsed(const VSJObject* build) {
  std::string text;
  build->WriteJSONA(text, false, 0, "\n");
  return Parse(text);
}

// Edits the build's text: the first occurrence of from becomes to.
ObjectRef Edited(const VSJObject* build, const std::string& from, const std::string& to) {
  std::string text;
  build->WriteJSONA(text, false, 0, "\n");
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from << " in " << text;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return Parse(text);
}

SignatureVerdict Verdict(const VSJObject* build, const std::vector<std::string>& pinned,
                         std::string* text = nullptr) {
  SignedRelease release;
  std::u16string error;
  const SignatureVerdict verdict = VerifyBuildSignature(build, pinned, {}, release, error);
  if (text) *text = VendraText::Utf16ToUtf8(error);
  return verdict;
}

TEST(ReleaseSignatureTest, OnlyTheUntouchedBuildOfAPinnedKeyIsValid) {
  const PublisherKey& publisher = Keys::Shared().Get("publisher");
  const PublisherKey& stranger = Keys::Shared().Get("stranger");
  const std::vector<std::string> pinned{stranger.publicKey(), publisher.publicKey()};
  ObjectRef build = Reparsed(SignedBuild(publisher).get());
  ASSERT_EQ(Verdict(build.get(), pinned), SignatureVerdict::kValid);
  SignedRelease release;
  std::u16string error;
  VerifyBuildSignature(build.get(), pinned, {}, release, error);
  EXPECT_EQ(release.counter, 7);
  EXPECT_EQ(release.keyId, publisher.keyId());

  struct Case {
    const char* what;
    ObjectRef build;
    std::vector<std::string> pinned;
    SignatureVerdict verdict;
  };
  const std::vector<std::string> onlyPublisher{publisher.publicKey()};
  const Case cases[] = {
      {"a digest in the file list", Edited(build.get(), "ab12", "ab13"), onlyPublisher,
       SignatureVerdict::kBadSignature},
      {"a size", Edited(build.get(), "\"size\":40", "\"size\":41"), onlyPublisher,
       SignatureVerdict::kBadSignature},
      {"a chunk digest", Edited(build.get(), "ef56", "ef57"), onlyPublisher,
       SignatureVerdict::kBadSignature},
      {"where a chunk is served from", Edited(build.get(), "\"offset\":0", "\"offset\":1"),
       onlyPublisher, SignatureVerdict::kBadSignature},
      {"the program mark dropped", Edited(build.get(), ",\"signed\":true", ""), onlyPublisher,
       SignatureVerdict::kBadSignature},
      {"a member added", Edited(build.get(), "{\"software\"", "{\"extra\":1,\"software\""),
       onlyPublisher, SignatureVerdict::kBadSignature},
      {"the signed counter", Edited(build.get(), "\"counter\":7", "\"counter\":70"), onlyPublisher,
       SignatureVerdict::kBadSignature},
      {"the signed expiry", Edited(build.get(), "\"expires\":", "\"expires\":1"), onlyPublisher,
       SignatureVerdict::kBadSignature},
      {"a key pinned but not this one", build, {stranger.publicKey()},
       SignatureVerdict::kUnknownKey},
      {"no key pinned at all", build, {}, SignatureVerdict::kUnknownKey},
      {"signed by another key", Reparsed(SignedBuild(stranger).get()), onlyPublisher,
       SignatureVerdict::kUnknownKey},
      {"no signature member", Parse(R"({"software": "tdy", "data": {}})"), onlyPublisher,
       SignatureVerdict::kUnsigned},
      {"another algorithm", Edited(build.get(), "ed25519", "rsa"), onlyPublisher,
       SignatureVerdict::kMalformed},
      {"a value that is no signature", Edited(build.get(), "\"value\":\"", "\"value\":\"AAAA"),
       onlyPublisher, SignatureVerdict::kMalformed},
      {"a counter as text", Edited(build.get(), "\"counter\":7", "\"counter\":\"7\""),
       onlyPublisher, SignatureVerdict::kMalformed},
      {"the member not an object", Parse(R"({"release_signature": "trust me"})"), onlyPublisher,
       SignatureVerdict::kMalformed},
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_EQ(Verdict(c.build.get(), c.pinned, &text), c.verdict) << c.what;
    EXPECT_FALSE(text.empty()) << c.what;
  }
}

TEST(ReleaseSignatureTest, ARotatedKeyIsAcceptedOnlyWhenATrustedKeyVouchedForIt) {
  Keys& keys = Keys::Shared();
  const PublisherKey& root = keys.Get("root");
  const PublisherKey& second = keys.Make("second", &root);
  const PublisherKey& third = keys.Make("third", &second);
  const PublisherKey& outsider = keys.Get("outsider");
  const PublisherKey& adopted = keys.Make("adopted", &outsider);
  const std::vector<std::string> pinned{root.publicKey()};

  EXPECT_EQ(Verdict(Reparsed(SignedBuild(second).get()).get(), pinned), SignatureVerdict::kValid);
  EXPECT_EQ(Verdict(Reparsed(SignedBuild(third).get()).get(), pinned), SignatureVerdict::kValid)
      << "two rotations in a row";
  std::string text;
  EXPECT_EQ(Verdict(Reparsed(SignedBuild(adopted).get()).get(), pinned, &text),
            SignatureVerdict::kBrokenChain);
  EXPECT_NE(text.find("Key rotation refused"), std::string::npos) << text;

  const PublisherKey& forger = keys.Get("forger");
  // A forger who signs the build with their own key and rewrites the root's
  // statement to name it: the statement's signature no longer holds.
  std::string chain = ReadAll(keys.folder().Sub("second.chain.json"));
  const std::string secondKey = Base64Encode(second.publicKey());
  chain.replace(chain.find(secondKey), secondKey.size(), Base64Encode(forger.publicKey()));
  VendraTest::WriteTextFile(keys.folder().Sub("forger.chain.json"), chain);
  PublisherKey forgerWithChain;
  std::u16string error;
  ASSERT_TRUE(forgerWithChain.Load(keys.folder().WSub("forger"), error));
  EXPECT_EQ(Verdict(Reparsed(SignedBuild(forgerWithChain).get()).get(), pinned, &text),
            SignatureVerdict::kBrokenChain);
  EXPECT_NE(text.find("does not match its signature by key " + root.keyId()), std::string::npos)
      << text;
}

// The package manager's manifest carries a build's kind of signature under
// its own prefix; the rest of its refusals are the install run test's table.
TEST(ReleaseSignatureTest, AUtilityManifestIsHeldToAManifestSignatureThatTiesItsProgram) {
  Keys& keys = Keys::Shared();
  const PublisherKey& root = keys.Get("root");
  const PublisherKey& rotated = keys.Make("utility signer", &root);
  const std::string program =
      R"("filename": "VendraBuild.exe", "file_size": 40, "file_sha256": ")" +
      std::string(64, 'a') + R"(")";
  const auto manifest = [](const PublisherKey& key, const std::string& members, int64_t expires,
                           bool signedAsBuild) {
    ObjectRef object = Parse(R"({"name": "vendrabuild", )" + members + "}");
    const SignedRelease release{"vendrabuild", "utility", "3", expires, 5, ""};
    std::u16string error;
    EXPECT_TRUE(signedAsBuild ? SignBuild(object.get(), key, release, error)
                              : SignUtility(object.get(), key, release, error));
    return Reparsed(object.get());
  };
  const struct {
    const char* what;
    ObjectRef manifest;
    const char* refusal;  // null: accepted
  } cases[] = {
      {"the publisher's", manifest(root, program, kNow + 1, false), nullptr},
      {"by a key the pinned key vouched for", manifest(rotated, program, kNow + 1, false),
       nullptr},
      {"a build's signature over the same members", manifest(root, program, kNow + 1, true),
       "does not match its signature"},
      {"without the program's digest",
       manifest(root, R"("filename": "VendraBuild.exe", "file_size": 40)", kNow + 1, false),
       "names no size and SHA-256 of the program"},
      {"expiring this second", manifest(root, program, kNow, false), "signature expired at"},
  };
  for (const auto& c : cases) {
    std::u16string error;
    const bool accepted = CheckUtilitySignature(c.manifest.get(), "vendrabuild", u"The manifest",
                                                {root.publicKey()}, kNow, error);
    ExpectOutcome(c.what, accepted, error, c.refusal ? c.refusal : "");
  }
}

TEST(KeygenTest, ThePrivateKeyIsItsOwnersAloneAndNeverReplaced) {
  TempFolder folder;
  PublisherKey key, again;
  std::u16string error;
  ASSERT_TRUE(key.Generate(folder.WSub("key"), nullptr, error));
  struct stat st {};
  ASSERT_EQ(::stat(folder.Sub("key").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(again.Load(folder.WSub("key"), error));
  EXPECT_EQ(again.publicKey(), key.publicKey());
  if (VendraTest::CanDropPrivileges()) {
    ::chmod(folder.path().c_str(), 0755);
    const std::string path = folder.Sub("key");
    EXPECT_NE(VendraTest::RunUnprivileged([&] {
                std::FILE* file = std::fopen(path.c_str(), "rb");
                return file ? 0 : 1;
              }),
              0)
        << "another user read the private key";
  }

  // An existing file, or a link planted where the key goes, stays as it is.
  const std::string before = ReadAll(folder.Sub("key"));
  PublisherKey other;
  EXPECT_FALSE(other.Generate(folder.WSub("key"), nullptr, error));
  EXPECT_NE(VendraText::Utf16ToUtf8(error).find("exists already"), std::string::npos);
  EXPECT_EQ(ReadAll(folder.Sub("key")), before);
  VendraTest::WriteTextFile(folder.Sub("victim"), "victim");
  std::filesystem::create_symlink(folder.Sub("victim"), folder.Sub("link"));
  EXPECT_FALSE(other.Generate(folder.WSub("link"), nullptr, error));
  EXPECT_EQ(ReadAll(folder.Sub("victim")), "victim");
}

InstalledRelease Installed(const std::string& version, int64_t counter,
                           std::vector<std::string> keys = {},
                           std::set<std::string> revoked = {}) {
  return {"tdy", version, {counter, keys, revoked}};
}

TEST(ReleaseCheckTest, EachPolicyRefusesWithATextNamingItsCheck) {
  const PublisherKey& publisher = Keys::Shared().Get("publisher");
  TrustConfig config{{publisher.publicKey()}, false};
  const InstalledRelease newer = Installed("2.5.1", 7);
  struct Case {
    const char* what;
    ObjectRef build;
    ReleaseRequest request;
    TrustConfig config;
    const char* refusal;  // null: accepted
  };
  const Case cases[] = {
      {"a fresh install", SignedBuild(publisher),
       {"tdy", "live", "2.5.1", std::nullopt, false, kNow}, config, nullptr},
      {"a repair of the same release", SignedBuild(publisher),
       {"tdy", "live", "2.5.1", newer, false, kNow}, config, nullptr},
      {"an upgrade", SignedBuild(publisher, 8, "2.6.0"),
       {"tdy", "live", "2.6.0", newer, false, kNow}, config, nullptr},
      {"another version than asked", SignedBuild(publisher, 8, "2.6.0"),
       {"tdy", "live", "2.6.1", newer, false, kNow}, config, "not the requested"},
      {"another branch than asked", SignedBuild(publisher),
       {"tdy", "beta", "2.5.1", std::nullopt, false, kNow}, config, "not the requested"},
      {"expired", SignedBuild(publisher, 8, "2.6.0", kNow - 1),
       {"tdy", "live", "2.6.0", newer, false, kNow}, config, "expired"},
      {"expiring this second", SignedBuild(publisher, 8, "2.6.0", kNow),
       {"tdy", "live", "2.6.0", newer, false, kNow}, config, "expired"},
      {"an older counter", SignedBuild(publisher, 6, "2.6.0"),
       {"tdy", "live", "2.6.0", newer, false, kNow}, config, "Rollback refused"},
      {"an older counter, downgrade allowed", SignedBuild(publisher, 6, "2.4.0"),
       {"tdy", "live", "2.4.0", newer, true, kNow}, config, "Rollback refused"},
      {"a lower version", SignedBuild(publisher, 9, "2.4.0"),
       {"tdy", "live", "2.4.0", newer, false, kNow}, config, "--allow-downgrade"},
      {"a lower version, downgrade allowed", SignedBuild(publisher, 9, "2.4.0"),
       {"tdy", "live", "2.4.0", newer, true, kNow}, config, nullptr},
      {"unsigned", Parse(R"({"software": "tdy", "branch": "live", "version": "2.6.0"})"),
       {"tdy", "live", "2.6.0", newer, false, kNow}, config, "accept_unsigned_builds"},
      {"unsigned, configured to accept", Parse(R"({"software": "tdy", "version": "2.6.0"})"),
       {"tdy", "live", "2.6.0", newer, false, kNow}, {{}, true}, nullptr},
      {"signed but tampered, unsigned accepted",
       Edited(SignedBuild(publisher).get(), "ab12", "ab13"),
       {"tdy", "live", "2.5.1", std::nullopt, false, kNow}, {{publisher.publicKey()}, true},
       "does not match its signature"},
  };
  for (const Case& c : cases) {
    ReleaseFloor admitted;
    std::u16string error;
    const bool accepted = CheckRelease(Reparsed(c.build.get()).get(), c.config, c.request,
                                       admitted, error);
    ExpectOutcome(c.what, accepted, error, c.refusal ? c.refusal : "");
  }
}

// The build list with live and beta versions, signed by key as the list
// named listName (unsigned without key).
ObjectRef SignedList(const PublisherKey* key, const std::string& live = "2.5.1",
                     int64_t expires = kNow + 3600, const std::string& listName = "TDY-UPLINK") {
  ObjectRef list = Parse(R"({"live": {"version": ")" + live + R"("}, "beta": {"version": "3.0"}})");
  std::u16string error;
  if (key) {
    EXPECT_TRUE(SignBuildList(list.get(), *key, listName, expires, error))
        << VendraText::Utf16ToUtf8(error);
  }
  return list;
}

TEST(ReleaseCheckTest, TheSignedBuildListHoldsAnInstallToItsLiveVersion) {
  Keys& keys = Keys::Shared();
  const PublisherKey& root = keys.Get("list-root");
  const PublisherKey& rotated = keys.Make("list-rotated", &root);
  const PublisherKey& stranger = keys.Get("stranger");
  const TrustConfig config{{root.publicKey()}, false};
  const auto request = [](const std::string& branch, const std::string& version,
                          std::set<std::string> revoked = {}) {
    return LiveVersionRequest{"TDY-UPLINK", branch, version, revoked, kNow};
  };
  struct Case {
    const char* what;
    ObjectRef list;
    LiveVersionRequest request;
    TrustConfig config;
    std::string refusal;  // empty: accepted
  };
  const Case cases[] = {
      {"the live version", SignedList(&root), request("live", "2.5.1"), config, ""},
      {"a version published since the list was signed", SignedList(&root),
       request("live", "2.6.0"), config, ""},
      {"another branch's live version", SignedList(&root), request("beta", "3.0"), config, ""},
      {"an older version", SignedList(&root), request("live", "2.4.0"), config,
       "TDY-UPLINK names 2.5.1 as live on branch live; 2.4.0 is older"},
      {"a branch the list does not name", SignedList(&root), request("nightly", "9.0"), config,
       "names no live version of branch nightly"},
      {"the signature member taken for a branch", SignedList(&root),
       request("release_signature", "9.0"), config, "names no live version"},
      {"a list of a rotated key", SignedList(&rotated), request("live", "2.5.1"), config, ""},
      {"a list of a revoked key", SignedList(&rotated),
       request("live", "2.5.1", {rotated.keyId()}), config,
       "The build list is signed by key " + rotated.keyId() + ", which its publisher revoked"},
      {"a list of another key", SignedList(&stranger), request("live", "2.4.0"), config,
       "not a trusted publisher key"},
      {"expired", SignedList(&root, "2.4.0", kNow - 1), request("live", "2.4.0"), config,
       "The build list's signature expired on " + UtcText(kNow - 1)},
      {"expiring this second", SignedList(&root, "2.4.0", kNow), request("live", "2.4.0"),
       config, "expired"},
      {"another list's signature", SignedList(&root, "2.4.0", kNow + 60, "OTHER"),
       request("live", "2.4.0"), config, "is OTHER's, not TDY-UPLINK's"},
      {"the live version changed after signing",
       Edited(SignedList(&root).get(), "2.5.1", "2.4.0"), request("live", "2.4.0"), config,
       "The build list does not match its signature"},
      {"a build's signature offered as a list's", SignedBuild(root), request("live", "2.4.0"),
       config, "The build list does not match its signature"},
      {"unsigned", SignedList(nullptr, "2.4.0"), request("live", "2.4.0"), config,
       "The build list is not signed by its publisher. Unsigned build lists are refused"},
      {"unsigned, configured to accept: it decides nothing", SignedList(nullptr, "9.0"),
       request("live", "2.4.0"), {{root.publicKey()}, true}, ""},
      {"signed but changed, unsigned accepted",
       Edited(SignedList(&root).get(), "2.5.1", "2.4.0"), request("live", "2.4.0"),
       {{root.publicKey()}, true}, "does not match its signature"},
  };
  for (const Case& c : cases) {
    std::u16string error;
    const bool accepted =
        CheckLiveVersion(Reparsed(c.list.get()).get(), c.config, c.request, error);
    ExpectOutcome(c.what, accepted, error, c.refusal);
  }
}

// A build of the key named keyName carrying revocations, signed as the
// publisher tool signs it.
ObjectRef SignedBuildCarrying(const std::string& keyName, const std::vector<ObjectRef>& revocations,
                              int64_t counter, const std::string& version) {
  PublisherKey key;
  std::u16string error;
  EXPECT_TRUE(key.Load(Keys::Shared().folder().WSub(keyName), error));
  TempFolder scratch;
  for (const ObjectRef& revocation : revocations)
    EXPECT_TRUE(key.CarryRevocation(scratch.WSub("key"), revocation.get(), error));
  return SignedBuild(key, counter, version);
}

ObjectRef Revocation(const PublisherKey& signer, const std::string& revoked, int64_t reset) {
  std::u16string error;
  ObjectRef statement = SignRevocation(signer, revoked, reset, error);
  EXPECT_TRUE(statement) << VendraText::Utf16ToUtf8(error);
  return statement;
}

// The pinned root vouched for the signing key "leaked"; its holder minted a
// key of their own with it and pushed a release with the highest counter
// there is. The publisher's fix is signed by a new key the root vouched for
// and carries the root's revocation of the leaked key.
TEST(ReleaseCheckTest, APinnedKeysRevocationWithdrawsALeakedKeyAndTheFloorItRaised) {
  Keys& keys = Keys::Shared();
  const PublisherKey& root = keys.Get("revoking-root");
  const PublisherKey& backup = keys.Get("revoking-backup");
  const PublisherKey& leaked = keys.Make("leaked", &root);
  const PublisherKey& minted = keys.Make("minted", &leaked);
  const PublisherKey& successor = keys.Make("successor", &root);
  constexpr int64_t kHighest = std::numeric_limits<int64_t>::max();
  const std::string leakedId = leaked.keyId();
  const InstalledRelease lockedOut = Installed("99.0", kHighest, {leakedId, root.keyId()});
  const InstalledRelease lockedOutByMinted =
      Installed("99.0", kHighest, {minted.keyId(), leakedId, root.keyId()});
  const InstalledRelease beforeKeysWereKept = Installed("2.5.1", kHighest);
  const InstalledRelease recovered =
      Installed("2.6.1", 11, {successor.keyId(), root.keyId()}, {leakedId});
  const ObjectRef revocation = Revocation(root, leakedId, 10);
  const ObjectRef fix = SignedBuildCarrying("successor", {revocation}, 11, "2.6.1");
  ObjectRef forged = Revocation(root, leakedId, 10);
  forged->SetInteger(u"reset_counter", 0);
  const ObjectRef unsignedRevocation =
      ObjectWithout(Revocation(root, leakedId, 10).get(), u"value");
  const TrustConfig config{{root.publicKey()}, false};
  const auto request = [](const std::string& version,
                          std::optional<InstalledRelease> installed) {
    return ReleaseRequest{"tdy", "live", version, installed, false, kNow};
  };
  struct Case {
    const char* what;
    ObjectRef build;
    ReleaseRequest request;
    TrustConfig config;
    std::string refusal;                 // empty: accepted
    std::set<std::string> revokedAfter;  // of an accepted build
  };
  const Case cases[] = {
      {"the fix over the leaked key's release, a lower version too", fix,
       request("2.6.1", lockedOut), config, "", {leakedId}},
      {"the fix over a release of a key the leaked key minted", fix,
       request("2.6.1", lockedOutByMinted), config, "", {leakedId}},
      {"the fix below the counter the revocation keeps",
       SignedBuildCarrying("successor", {revocation}, 9, "2.6.1"), request("2.6.1", lockedOut),
       config, "lower than 10, which its publisher kept when revoking key", {}},
      {"a build of the new key without the revocation",
       SignedBuildCarrying("successor", {}, 11, "2.6.1"), request("2.6.1", lockedOut), config,
       "Rollback refused", {}},
      {"the fix over a record from before signing keys were kept", fix,
       request("2.6.1", beforeKeysWereKept), config, "Rollback refused", {}},
      {"the leaked key after the recovery", SignedBuildCarrying("leaked", {}, kHighest, "3.0"),
       request("3.0", recovered), config,
       "signed by key " + leakedId + ", which its publisher revoked", {}},
      {"a key the leaked key minted, after the recovery",
       SignedBuildCarrying("minted", {}, kHighest, "3.0"), request("3.0", recovered), config,
       "the key chain is signed by key " + leakedId + ", which its publisher revoked",
       {}},
      {"the leaked key carrying its own revocation",
       SignedBuildCarrying("leaked", {revocation}, 12, "3.0"), request("3.0", std::nullopt), config,
       "which its publisher revoked", {}},
      {"a revocation signed by the key it revokes",
       SignedBuildCarrying("successor", {Revocation(leaked, leakedId, 0)}, 12, "3.0"),
       request("3.0", std::nullopt), config, "the key it revokes", {}},
      {"the leaked key revoking the key that replaces it",
       SignedBuildCarrying("leaked", {Revocation(leaked, successor.keyId(), 0)}, 12, "3.0"),
       request("3.0", std::nullopt), config, "only a pinned key may revoke a key", {}},
      {"a forged revocation", SignedBuildCarrying("successor", {forged}, 11, "2.6.1"),
       request("2.6.1", lockedOut), config, "does not match its signature by key", {}},
      {"an unsigned revocation",
       SignedBuildCarrying("successor", {unsignedRevocation}, 11, "2.6.1"),
       request("2.6.1", lockedOut), config, "revocation 1: its \"value\" is missing", {}},
      {"a pinned key revoking another: the configuration decides",
       SignedBuildCarrying("revoking-backup", {Revocation(root, backup.keyId(), 0)}, 12, "3.0"),
       request("3.0", recovered), {{root.publicKey(), backup.publicKey()}, false}, "",
       {leakedId}},
      {"an unsigned build, accepted: what was revoked stays revoked",
       Parse(R"({"software": "tdy", "branch": "live", "version": "3.0"})"),
       request("3.0", recovered), {{root.publicKey()}, true}, "", {leakedId}},
  };
  for (const Case& c : cases) {
    ReleaseFloor admitted;
    std::u16string error;
    const bool accepted = CheckRelease(Reparsed(c.build.get()).get(), c.config, c.request,
                                       admitted, error);
    const std::string text = VendraText::Utf16ToUtf8(error);
    if (c.refusal.empty()) {
      EXPECT_TRUE(accepted) << c.what << ": " << text;
      EXPECT_EQ(admitted.revokedKeys, c.revokedAfter) << c.what;
    } else {
      EXPECT_FALSE(accepted) << c.what;
      EXPECT_NE(text.find(c.refusal), std::string::npos) << c.what << ": " << text;
    }
  }
  // The record of the fix remembers who signed it, through which key.
  ReleaseFloor admitted;
  std::u16string error;
  ASSERT_TRUE(CheckRelease(Reparsed(fix.get()).get(), config, request("2.6.1", lockedOut),
                           admitted, error));
  EXPECT_EQ(admitted.counter, 11);
  EXPECT_EQ(admitted.keys, (std::vector<std::string>{successor.keyId(), root.keyId()}));
}

TEST(ReleaseCheckTest, TheConfigurationIsReadStrictly) {
  TempFolder folder;
  VendraTest::SetEnvironment("VENDRA_BUILD_CONFIG", folder.Sub("config.json"));
  TrustConfig config;
  std::u16string error;
  ASSERT_TRUE(LoadTrustConfig(config, error)) << "a missing file is the empty configuration";
  EXPECT_TRUE(config.publisherKeys.empty());
  EXPECT_FALSE(config.acceptUnsigned);

  const std::string key = Base64Encode(Keys::Shared().Get("publisher").publicKey());
  VendraTest::WriteTextFile(folder.Sub("config.json"), R"({"publisher_keys": [")" + key +
                                                           R"("], "accept_unsigned_builds": true})");
  ASSERT_TRUE(LoadTrustConfig(config, error));
  EXPECT_EQ(config.publisherKeys.size(), 1u);
  EXPECT_TRUE(config.acceptUnsigned);
  EXPECT_EQ(BuildListOf(config, "tdy"), "tdy") << "by default a product's list is its own name";
  VendraTest::WriteTextFile(folder.Sub("config.json"),
                            R"({"build_lists": {"tdy": "TDY-UPLINK"}})");
  ASSERT_TRUE(LoadTrustConfig(config, error));
  EXPECT_EQ(BuildListOf(config, "tdy"), "TDY-UPLINK");
  EXPECT_EQ(BuildListOf(config, "other"), "other");
  for (const std::string& bad :
       {std::string(R"({"publisher_keys": ["AAAA"]})"), std::string(R"({"publisher_keys": ")") +
        key + "\"}", std::string(R"({"accept_unsigned_builds": "yes"})"), std::string("[1]"),
        std::string("{"), std::string(R"({"build_lists": ["TDY-UPLINK"]})"),
        std::string(R"({"build_lists": {"tdy": ""}})"),
        std::string(R"({"build_lists": {"tdy": 1}, "accept_unsigned_builds": true})")}) {
    VendraTest::WriteTextFile(folder.Sub("config.json"), bad);
    EXPECT_FALSE(LoadTrustConfig(config, error)) << bad;
    EXPECT_FALSE(config.acceptUnsigned) << bad;
  }
  VendraTest::SetEnvironment("VENDRA_BUILD_CONFIG", "");
}

TEST(ReleaseCheckTest, VersionsAndTimesReadAsPeopleReadThem) {
  EXPECT_LT(CompareVersions("2.5.1", "2.10.0"), 0);
  EXPECT_LT(CompareVersions("2.5", "2.5.1"), 0);
  EXPECT_EQ(CompareVersions("2.05.1", "2.5.1"), 0);
  EXPECT_GT(CompareVersions("10.0", "9.9.9"), 0);
  EXPECT_LT(CompareVersions("1.0-beta", "1.0-rc"), 0);
  EXPECT_EQ(UtcText(0), "1970-01-01 00:00:00 UTC");
  EXPECT_EQ(UtcText(951782400), "2000-02-29 00:00:00 UTC");
  EXPECT_EQ(UtcText(4102444799), "2099-12-31 23:59:59 UTC");
  EXPECT_EQ(UtcText(-1), "1969-12-31 23:59:59 UTC");
}

}  // namespace
}  // namespace VendraBuild
