// Fills a service root with the catalogue the installer and the package
// manager ask for: the product's build list and its "live" build with files,
// and the package manager itself as the "vendrabuild" utility. Makes the
// publisher's keys, signs the build with one and its programs with the
// publisher's code-signing certificate.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/text/terminal_text.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "json/array.h"
#include "json/files.h"
#include "json/literals.h"
#include "json/object.h"
#include "packagemanager/base64.h"
#include "packagemanager/code_signing.h"
#include "packagemanager/publisher_key.h"
#include "packagemanager/release_check.h"
#include "packagemanager/release_signing.h"
#include "platform/entry_point.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/program_arguments.h"

namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;

constexpr int64_t kSecondsPerDay = 86400;

// How a build is signed; without a key it is published unsigned.
struct Signing {
  std::u16string keyFile;
  std::optional<int64_t> counter;    // default: one more than any of the product's builds
  std::optional<int64_t> expiresAt;  // Unix seconds
  int64_t expiresDays = 90;
  std::optional<VendraBuild::CodeSigner> codeSigner;
};

struct Packed {
  uint64_t size = 0;
  std::string digest;
  uint64_t compressedSize = 0;
  std::string compressedDigest;
};

bool Fail(const std::u16string& what) {
  std::fprintf(stderr, "vendra-catalogue: %s\n", VendraText::ShownOnTerminalUtf8(what).c_str());
  return false;
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  if (VendraPlatform::WriteFileAtomically(path, bytes) != 0)
    return Fail(u"cannot write " + path);
  return true;
}

// Compresses source into target (".z") and describes both.
bool Pack(const std::u16string& source, const std::u16string& target, Packed& packed) {
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(target, ignored);
  int32_t inSize = 0, outSize = 0;
  std::u16string error;
  if (VendraClient::DeflateFile(7, source, inSize, target, outSize, error) !=
      VendraClient::eVClientResult::Success)
    return Fail(error);
  packed.size = static_cast<uint32_t>(inSize);
  packed.compressedSize = static_cast<uint32_t>(outSize);
  if (!VendraClient::GetFileDigest(source, packed.digest) ||
      !VendraClient::GetFileDigest(target, packed.compressedDigest))
    return Fail(u"cannot hash " + source);
  return true;
}

bool Save(VSJObject* object, const std::u16string& path) {
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  int errorCode = 0;
  if (!object->SaveFile(errorCode, path)) return Fail(u"cannot write " + path);
  return true;
}

// The product's files: its program and some data, one part big enough that
// the download shows progress.
std::vector<std::pair<std::u16string, std::string>> ProductFiles(const std::string& version) {
  std::string assets;
  uint32_t state = 2463534242u;
  for (int i = 0; i < 6 << 20; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Some structure, so the compressed file is smaller but not trivial.
    assets.push_back(static_cast<char>((i % 64 < 48) ? 'a' + (i % 26) : (state & 0xFF)));
  }
  return {
      {u"Tandory.exe", "#!/bin/sh\necho \"Tandory " + version + " is running\"\n"},
      {u"data\\welcome.txt", "Welcome to Tandory " + version + ".\n"},
      {u"data\\assets.bin", assets},
  };
}

// The build's programs, which the publisher's code-signing certificate signs.
bool IsProgram(std::u16string_view name) {
  return name.size() > 4 && name.substr(name.size() - 4) == u".exe";
}

// The highest release counter among the product's published builds, 0 when
// none is signed.
int64_t HighestCounter(const std::u16string& productFolder) {
  using VendraPlatform::JoinFileName;
  int64_t highest = 0;
  std::vector<VendraPlatform::FolderEntry> branches, versions;
  VendraPlatform::ListFolder(productFolder, branches);
  for (const auto& branch : branches) {
    if (!branch.isFolder) continue;
    VendraPlatform::ListFolder(JoinFileName(productFolder, branch.name), versions);
    for (const auto& version : versions) {
      Vendra::RefPtr<VendraJSON::VSJValue> build;
      std::u16string ignored;
      Vendra::RefPtr<VSJObject> signature;
      int64_t counter = 0;
      if (version.isFolder &&
          VendraJSON::LoadFile(JoinFileName(JoinFileName(JoinFileName(productFolder, branch.name),
                                                         version.name),
                                            u"build.json"),
                               build.Receive(), ignored) &&
          build->GetType() == VendraJSON::kTypeObject &&
          static_cast<VSJObject*>(build.get())
              ->GetObject(VendraBuild::kReleaseSignatureMember, signature.Receive()) &&
          signature->GetInteger(u"counter", counter) && counter > highest)
        highest = counter;
    }
  }
  return highest;
}

// Adds the signature member last, over the finished build object.
bool SignRelease(VSJObject* build, const std::u16string& productFolder,
                 const std::string& version, const Signing& signing) {
  VendraBuild::PublisherKey key;
  std::u16string error;
  if (!key.Load(signing.keyFile, error)) return Fail(error);
  VendraBuild::SignedRelease release;
  release.product = "tdy";
  release.branch = "live";
  release.version = version;
  release.counter = signing.counter ? *signing.counter : HighestCounter(productFolder) + 1;
  release.expires = signing.expiresAt
                        ? *signing.expiresAt
                        : VendraPlatform::NowUnixSeconds() + signing.expiresDays * kSecondsPerDay;
  if (!VendraBuild::SignBuild(build, key, release, error)) return Fail(error);
  std::printf("signed with key %s: release counter %lld, expires %s\n", key.keyId().c_str(),
              static_cast<long long>(release.counter),
              VendraBuild::UtcText(release.expires).c_str());
  return true;
}

bool MakeCatalogue(const std::u16string& root, const std::u16string& packageManager,
                   const std::string& version, const Signing& signing) {
  using VendraPlatform::PathAppend;
  // The product's build.
  const std::u16string buildFolder =
      PathAppend(root, VendraText::Format(u"catalogue\\tdy\\live\\%hs", version));
  auto files = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  auto productFiles = ProductFiles(version);
  std::vector<std::u16string> signedPrograms;
  if (signing.codeSigner) {
    for (size_t i = 0, count = productFiles.size(); i < count; ++i) {
      if (!IsProgram(productFiles[i].first)) continue;
      std::string signature;
      std::u16string error;
      if (!VendraBuild::SignDetached(*signing.codeSigner, productFiles[i].second, signature,
                                     error))
        return Fail(error);
      signedPrograms.push_back(productFiles[i].first);
      productFiles.emplace_back(productFiles[i].first + u".p7s", signature);
    }
  }
  for (const auto& [name, bytes] : productFiles) {
    std::u16string plain;
    if (VendraPlatform::CreateTempFile(VendraPlatform::TempFolder(), u"", plain) != 0)
      return Fail(u"cannot make a temporary file");
    Packed packed;
    const bool made = WriteBytes(plain, bytes) &&
                      Pack(plain, PathAppend(buildFolder, u"files\\" + name + u".z"), packed);
    // The temporary file goes on every path, failures included.
    VendraPlatform::DeleteFile(plain);
    if (!made) return false;
    auto entry = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    entry->SetString(u"filename", std::u16string_view(name));
    entry->SetInteger(u"size", static_cast<int64_t>(packed.size));
    entry->SetStringA(u"sha256", packed.digest);
    entry->SetInteger(u"compressed_size", static_cast<int64_t>(packed.compressedSize));
    entry->SetStringA(u"compressed_sha256", packed.compressedDigest);
    for (const auto& program : signedPrograms)
      if (program == name) entry->SetAdopted(u"signed", VendraJSON::VSJTrue::Create());
    files->Append(entry.get());
  }
  auto data = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  data->Set(u"files", files.get());
  auto build = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  build->SetStringA(u"software", "tdy");
  build->SetStringA(u"branch", "live");
  build->SetStringA(u"version", version);
  build->Set(u"data", data.get());
  if (!signing.keyFile.empty() &&
      !SignRelease(build.get(), PathAppend(root, u"catalogue\\tdy"), version, signing))
    return false;
  if (!Save(build.get(), PathAppend(buildFolder, u"build.json"))) return false;

  // The build list the installer reads the live version from.
  auto live = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  live->SetStringA(u"version", version);
  auto list = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  list->Set(u"live", live.get());
  if (!Save(list.get(), PathAppend(root, u"catalogue\\TDY-UPLINK\\builds.json"))) return false;

  // The package manager as the "vendrabuild" utility.
  Packed tool;
  if (!Pack(packageManager, PathAppend(root, u"utilities\\vendrabuild\\VendraBuild.exe.z"), tool))
    return false;
  auto manifest = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  manifest->SetStringA(u"name", "vendrabuild");
  manifest->SetStringA(u"filename", "VendraBuild.exe");
  manifest->SetInteger(u"file_size", static_cast<int64_t>(tool.size));
  manifest->SetStringA(u"file_sha256", tool.digest);
  manifest->SetInteger(u"compressed_file_size", static_cast<int64_t>(tool.compressedSize));
  manifest->SetStringA(u"compressed_file_sha256", tool.compressedDigest);
  return Save(manifest.get(), PathAppend(root, u"utilities\\vendrabuild\\manifest.json"));
}

int Usage() {
  std::fprintf(stderr,
               "usage: vendra-catalogue [--key FILE [--counter N] [--expires-days N | "
               "--expires-at UNIX_SECONDS]]\n"
               "                        [--code-sign-cert FILE --code-sign-key FILE]\n"
               "                        SERVICE_ROOT PACKAGE_MANAGER [VERSION]\n"
               "       vendra-catalogue keygen [--signed-by OLD_KEY_FILE] KEY_FILE\n");
  return 2;
}

bool ParseInteger(const std::u16string& text, int64_t& value) {
  const std::string narrow = VendraText::Utf16ToUtf8(text);
  char* end = nullptr;
  value = std::strtoll(narrow.c_str(), &end, 10);
  return !narrow.empty() && end && *end == '\0';
}

// Makes a publisher key; with --signed-by, the older key vouches for it so
// that package managers pinned to the older key accept builds it signs.
int Keygen(const std::vector<std::u16string>& args) {
  std::u16string keyFile, signedBy;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--signed-by" && i + 1 < args.size()) signedBy = args[++i];
    else if (keyFile.empty() && !args[i].starts_with(u"--")) keyFile = args[i];
    else return Usage();
  }
  if (keyFile.empty()) return Usage();
  VendraBuild::PublisherKey older, key;
  std::u16string error;
  if (!signedBy.empty() && !older.Load(signedBy, error)) {
    Fail(error);
    return 1;
  }
  if (!key.Generate(keyFile, signedBy.empty() ? nullptr : &older, error)) {
    Fail(error);
    return 1;
  }
  std::printf("public_key %s\nkey_id %s\n", VendraBuild::Base64Encode(key.publicKey()).c_str(),
              key.keyId().c_str());
  return 0;
}

}  // namespace

int VendraMain(void*) {
  const std::vector<std::u16string> args = VendraPlatform::ProgramArguments();
  if (!args.empty() && args[0] == u"keygen") return Keygen(args);
  Signing signing;
  std::vector<std::u16string> positional;
  VendraBuild::CodeSigner codeSigner;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    int64_t number = 0;
    if (arg == u"--key" && hasValue) {
      signing.keyFile = args[++i];
    } else if (arg == u"--counter" && hasValue && ParseInteger(args[++i], number) && number > 0) {
      signing.counter = number;
    } else if (arg == u"--expires-days" && hasValue && ParseInteger(args[++i], number) &&
               number > 0) {
      signing.expiresDays = number;
    } else if (arg == u"--expires-at" && hasValue && ParseInteger(args[++i], number)) {
      signing.expiresAt = number;
    } else if (arg == u"--code-sign-cert" && hasValue) {
      codeSigner.certificateFile = args[++i];
    } else if (arg == u"--code-sign-key" && hasValue) {
      codeSigner.keyFile = args[++i];
    } else if (arg.starts_with(u"--")) {
      return Usage();
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() < 2 || positional.size() > 3 ||
      codeSigner.certificateFile.empty() != codeSigner.keyFile.empty())
    return Usage();
  if (!codeSigner.certificateFile.empty()) signing.codeSigner = codeSigner;
  const std::string version =
      positional.size() == 3 ? VendraText::Utf16ToUtf8(positional[2]) : "1.0.0";
  if (!MakeCatalogue(positional[0], positional[1], version, signing)) return 1;
  std::printf("catalogue: Tandory %s (live) and the package manager in %s\n", version.c_str(),
              VendraText::ShownOnTerminalUtf8(positional[0]).c_str());
  return 0;
}
