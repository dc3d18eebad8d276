#include "packagemanager/publisher/catalogue_publish.h"

#include <algorithm>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "json/array.h"
#include "json/literals.h"
#include "json/object.h"
#include "packagemanager/publisher/catalogue_file.h"
#include "packagemanager/publisher/chunk_store.h"
#include "packagemanager/release/release_signature.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/paths.h"

namespace VendraCatalogue {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;

constexpr size_t kMaxNameLength = 64;
// The codec counts in signed 32 bits.
constexpr uint64_t kMaxFileSize = 0x7FFFFFFF;
// SHA-256 of no bytes: the digest an empty file is published with.
constexpr char kEmptyDigest[] =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

struct Packed {
  uint64_t size = 0;
  std::string digest;
  uint64_t compressedSize = 0;
  std::string compressedDigest;
};

bool Digest(const std::u16string& path, uint64_t size, std::string& digest) {
  if (size == 0) {
    digest = kEmptyDigest;
    return true;
  }
  return VendraClient::GetFileDigest(path, digest);
}

// Compresses source into target (".z"): the stream is written beside the
// target and renamed over it once complete, so a ".z" under its final name
// is always whole.
bool Pack(const std::u16string& source, const std::u16string& target, Packed& packed,
          std::u16string& error) {
  uint64_t size = 0;
  if (const uint32_t sizeError = VendraPlatform::GetFileSize(source, size)) {
    error = VendraText::Format(u"cannot read %ls (system error %u)", source, sizeError);
    return false;
  }
  if (size > kMaxFileSize) {
    error = VendraText::Format(u"%ls is larger than 2 GiB, more than a build file can hold",
                               source);
    return false;
  }
  uint32_t folderError = 0;
  if (!VendraPlatform::CreateLocalPath(target, folderError)) {
    error = VendraText::Format(u"cannot create the folder of %ls (system error %u)", target,
                               folderError);
    return false;
  }
  const std::u16string partial = target + u".part";
  int32_t inSize = 0;
  int32_t outSize = 0;
  std::u16string codecError;
  if (VendraClient::DeflateFile(VendraClient::kBuildCompressionLevel, source, inSize, partial,
                                outSize, codecError) != VendraClient::eVClientResult::Success) {
    VendraPlatform::DeleteFile(partial);
    error = VendraText::Format(u"cannot compress %ls: %ls", source, codecError);
    return false;
  }
  packed.size = static_cast<uint64_t>(inSize);
  packed.compressedSize = static_cast<uint64_t>(outSize);
  // The file changed while it was read: its digest would not describe it.
  if (packed.size != size) {
    VendraPlatform::DeleteFile(partial);
    error = VendraText::Format(u"%ls changed while it was being published", source);
    return false;
  }
  if (!Digest(source, packed.size, packed.digest) ||
      !Digest(partial, packed.compressedSize, packed.compressedDigest)) {
    VendraPlatform::DeleteFile(partial);
    error = VendraText::Format(u"cannot read %ls to compute its digest", source);
    return false;
  }
  if (const uint32_t moved = VendraPlatform::MoveFileReplacing(partial, target)) {
    VendraPlatform::DeleteFile(partial);
    error = VendraText::Format(u"cannot write %ls (system error %u)", target, moved);
    return false;
  }
  return true;
}

bool SaveJson(const VSJObject& object, const std::u16string& path, std::u16string& error) {
  uint32_t folderError = 0;
  int saveError = 0;
  if (!VendraPlatform::CreateLocalPath(path, folderError) || !object.SaveFile(saveError, path)) {
    error = VendraText::Format(u"cannot write %ls (error %u)", path,
                               folderError ? folderError : static_cast<uint32_t>(saveError));
    return false;
  }
  return true;
}

std::u16string BuildListPath(const std::u16string& root, const std::string& listName) {
  return VendraPlatform::PathAppend(
      root, VendraText::Format(u"catalogue\\%hs\\builds.json", listName));
}

// The build list at path, an empty one when there is none yet.
ObjectRef LoadBuildList(const std::u16string& path, std::u16string& error) {
  ObjectRef list = LoadCatalogueObject(path);
  if (list) return list;
  if (VendraPlatform::FileExists(path)) {
    error = VendraText::Format(u"%ls is not a JSON object; fix or remove it", path);
    return {};
  }
  return ObjectRef::Adopt(VSJObject::Create());
}

// A name from the folder becomes a build file name, whose separator is the
// backslash on every system. A name holding a backslash or a control
// character could not be told apart from a path there.
bool UsableFileName(const std::u16string& name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(),
                      [](char16_t c) { return c == u'\\' || c < 0x20 || c == 0x7F; });
}

// The files below folder, as build names ("data\\sub\\file"), sorted.
bool CollectFiles(const std::u16string& folder, const std::u16string& prefix,
                  std::vector<std::u16string>& names, std::u16string& error) {
  std::vector<VendraPlatform::FolderEntry> entries;
  const std::u16string here = prefix.empty() ? folder : VendraPlatform::PathAppend(folder, prefix);
  if (const uint32_t listError = VendraPlatform::ListFolder(here, entries)) {
    error = VendraText::Format(u"cannot read the folder %ls (system error %u)", here, listError);
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& entry : entries) {
    if (!UsableFileName(entry.name)) {
      error = VendraText::Format(
          u"the name \"%ls\" in %ls holds a backslash or a control character, which a build "
          u"cannot carry; rename it",
          entry.name, here);
      return false;
    }
    const std::u16string name = prefix.empty() ? entry.name : prefix + u"\\" + entry.name;
    if (entry.isFolder) {
      if (!CollectFiles(folder, name, names, error)) return false;
    } else {
      names.push_back(name);
    }
  }
  return true;
}

bool IsProgram(std::u16string_view name) {
  return name.size() > 4 && name.substr(name.size() - 4) == u".exe";
}

// Told of a file packed into the build: the file it was packed from (still
// there during the call) and what it gave.
using PackedFile = std::function<bool(const std::u16string& from, const Packed& packed)>;

// The detached signature of a program, packed as NAME.p7s beside it.
bool PackSignature(const PublishRequest& request, const std::u16string& name,
                   const std::u16string& buildFolder, const PackedFile& packedFile,
                   std::u16string& error) {
  const std::u16string source = VendraPlatform::PathAppend(request.folder, name);
  std::string content;
  if (const uint32_t readError = VendraPlatform::ReadWholeFile(source, content)) {
    error = VendraText::Format(u"cannot read %ls (system error %u)", source, readError);
    return false;
  }
  std::string signature;
  if (!request.signProgram(content, signature, error)) return false;
  std::u16string temporary;
  VendraPlatform::File file;
  if (VendraPlatform::CreateTempFile(VendraPlatform::TempFolder(), u"vendra-signature-",
                                     temporary) != 0 ||
      file.CreateForWriting(temporary) != 0 ||
      file.Write(signature.data(), signature.size()) != 0 || file.Close() != 0) {
    if (!temporary.empty()) VendraPlatform::DeleteFile(temporary);
    error = u"cannot write the signature of " + name + u" to a temporary file";
    return false;
  }
  Packed packed;
  const bool ok = Pack(temporary,
                       VendraPlatform::PathAppend(buildFolder, u"files\\" + name + u".p7s.z"),
                       packed, error) &&
                  packedFile(temporary, packed);
  VendraPlatform::DeleteFile(temporary);
  return ok;
}

ObjectRef FileEntry(const std::u16string& name, const Packed& packed) {
  auto entry = ObjectRef::Adopt(VSJObject::Create());
  entry->SetString(u"filename", std::u16string_view(name));
  entry->SetInteger(u"size", static_cast<int64_t>(packed.size));
  entry->SetStringA(u"sha256", packed.digest);
  entry->SetInteger(u"compressed_size", static_cast<int64_t>(packed.compressedSize));
  entry->SetStringA(u"compressed_sha256", packed.compressedDigest);
  return entry;
}


}  // namespace

bool IsSafeCatalogueName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  const auto alnum = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  if (!alnum(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) {
    return alnum(c) || c == '.' || c == '_' || c == '+' || c == '-';
  });
}

bool CheckNames(const PublishRequest& request, std::u16string& error) {
  const std::pair<const char*, const std::string*> names[] = {{"product", &request.product},
                                                              {"branch", &request.branch},
                                                              {"version", &request.version},
                                                              {"build list", &request.buildList}};
  for (const auto& [what, value] : names) {
    if (value == &request.buildList && value->empty()) continue;
    if (!IsSafeCatalogueName(*value)) {
      error = VendraText::Format(
          u"the %hs \"%hs\" is not allowed: use 1 to 64 letters, digits and . _ + -, "
          u"starting with a letter or digit",
          what, VendraText::Utf8ToUtf16(*value));
      return false;
    }
  }
  if (VendraText::Utf8ToUtf16(request.branch) == VendraBuild::kReleaseSignatureMember) {
    error = VendraText::Format(u"the branch \"%hs\" is not allowed: a build list's signature "
                               u"goes by that name",
                               request.branch);
    return false;
  }
  return true;
}

bool Publish(const PublishRequest& request, const PublishProgress& progress,
             PublishResult& result, std::u16string& error) {
  using VendraPlatform::PathAppend;
  result = PublishResult();
  if (!CheckNames(request, error)) return false;
  const std::string& listName = request.buildList.empty() ? request.product : request.buildList;
  const std::u16string listPath = BuildListPath(request.root, listName);
  if (!request.signList) {
    ObjectRef list = LoadBuildList(listPath, error);
    if (!list) return false;
    if (list->Has(VendraBuild::kReleaseSignatureMember)) {
      error = VendraText::Format(
          u"the build list %hs is signed, and publishing without --key would leave it "
          u"unsigned; give --key (or remove its \"release_signature\" to stop signing it)",
          listName);
      return false;
    }
  }
  if (!VendraPlatform::FolderExists(request.folder)) {
    error = VendraText::Format(u"the folder %ls does not exist", request.folder);
    return false;
  }
  const std::u16string buildFolder = PathAppend(
      request.root, VendraText::Format(u"catalogue\\%hs\\%hs\\%hs", request.product,
                                       request.branch, request.version));
  const std::u16string buildJson = PathAppend(buildFolder, u"build.json");
  if (!request.replace && VendraPlatform::FileExists(buildJson)) {
    error = VendraText::Format(
        u"%hs %hs %hs is already published (%ls); publish it under a new version "
        u"(or give --replace)",
        request.product, request.branch, request.version, buildJson);
    return false;
  }
  std::vector<std::u16string> names;
  if (!CollectFiles(request.folder, u"", names, error)) return false;
  if (names.empty()) {
    error = VendraText::Format(u"the folder %ls holds no files", request.folder);
    return false;
  }

  if (request.signProgram) {
    for (const std::u16string& name : names) {
      if (IsProgram(name) &&
          std::find(names.begin(), names.end(), name + u".p7s") != names.end()) {
        error = VendraText::Format(u"the folder holds %ls.p7s, which the signature of %ls would "
                                   u"replace; remove it or publish without code signing",
                                   name, name);
        return false;
      }
    }
  }
  ChunkStore store;
  if (request.chunks && !store.Open(request.root, request.product, error)) return false;
  // The chunk lists join their entries once the new pack has its name.
  std::vector<std::pair<ObjectRef, std::vector<StoredChunk>>> chunked;
  auto files = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  const auto add = [&](const std::u16string& name, const std::u16string& packedFrom,
                       const Packed& packed, bool isSigned) {
    ObjectRef entry = FileEntry(name, packed);
    if (isSigned) entry->SetAdopted(u"signed", VendraJSON::VSJTrue::Create());
    if (request.chunks) {
      chunked.emplace_back(entry, std::vector<StoredChunk>());
      if (!store.AddFile(packedFrom, packed.size, packed.digest, chunked.back().second, error))
        return false;
    }
    files->Append(entry.get());
    ++result.files;
    result.bytes += packed.size;
    result.compressedBytes += packed.compressedSize;
    if (progress) progress(name, packed.size);
    return true;
  };
  for (const std::u16string& name : names) {
    Packed packed;
    const std::u16string source = PathAppend(request.folder, name);
    const bool embeds = request.embedSignature && IsProgram(name);
    // The signed program is made in the build's folder, which is the
    // publisher's own; a copy an interrupted run left there goes first.
    const std::u16string signedCopy = PathAppend(buildFolder, u"files\\" + name + u".signing");
    if (embeds) {
      uint32_t ignored = 0;
      VendraPlatform::CreateLocalPath(signedCopy, ignored);
      VendraPlatform::DeleteFile(signedCopy);
      if (!request.embedSignature(source, signedCopy, error)) return false;
    }
    const std::u16string published = embeds ? signedCopy : source;
    const bool signs = request.signProgram && IsProgram(name);
    const bool packedOk =
        Pack(published, PathAppend(buildFolder, u"files\\" + name + u".z"), packed, error) &&
        add(name, published, packed, signs || embeds);
    if (embeds) VendraPlatform::DeleteFile(signedCopy);
    if (!packedOk) return false;
    if (signs && !PackSignature(request, name, buildFolder,
                                [&](const std::u16string& from, const Packed& signature) {
                                  return add(name + u".p7s", from, signature, false);
                                },
                                error))
      return false;
  }
  if (request.chunks && !store.Finish(error)) return false;
  for (const auto& [entry, chunks] : chunked) entry->Set(u"chunks", store.ListOf(chunks).get());
  auto data = ObjectRef::Adopt(VSJObject::Create());
  data->Set(u"files", files.get());
  auto build = ObjectRef::Adopt(VSJObject::Create());
  build->SetStringA(u"software", request.product);
  build->SetStringA(u"branch", request.branch);
  build->SetStringA(u"version", request.version);
  build->Set(u"data", data.get());
  if (request.signBuild && !request.signBuild(build.get(), error)) return false;
  if (!SaveJson(*build, buildJson, error)) return false;

  // Last: the branch's entry in the build list, keeping the other branches.
  ObjectRef list = LoadBuildList(listPath, error);
  if (!list) return false;
  auto entry = ObjectRef::Adopt(VSJObject::Create());
  entry->SetStringA(u"version", request.version);
  list->Set(VendraText::Utf8ToUtf16(request.branch), entry.get());
  if (request.signList && !request.signList(list.get(), listName, error)) return false;
  return SaveJson(*list, listPath, error);
}

std::vector<std::string> BuildListNames(const std::u16string& root) {
  std::vector<VendraPlatform::FolderEntry> entries;
  std::vector<std::string> names;
  VendraPlatform::ListFolder(VendraPlatform::PathAppend(root, u"catalogue"), entries);
  for (const auto& entry : entries) {
    const std::string name = VendraText::Utf16ToUtf8(entry.name);
    if (entry.isFolder && IsSafeCatalogueName(name) &&
        VendraPlatform::FileExists(BuildListPath(root, name)))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool SignBuildListAgain(const std::u16string& root, const std::string& listName,
                        const ListSigner& signList, std::u16string& error) {
  if (!IsSafeCatalogueName(listName)) {
    error = VendraText::Format(u"the build list name \"%hs\" is not allowed", listName);
    return false;
  }
  const std::u16string path = BuildListPath(root, listName);
  ObjectRef list = LoadCatalogueObject(path);
  if (!list) {
    error = VendraText::Format(u"%ls is missing or not a JSON object", path);
    return false;
  }
  return signList(list.get(), listName, error) && SaveJson(*list, path, error);
}

bool PublishUtility(const std::u16string& root, const std::string& name,
                    const std::u16string& file,
                    const std::function<bool(VSJObject* manifest, std::u16string& error)>&
                        signManifest,
                    std::u16string& error) {
  using VendraPlatform::PathAppend;
  if (!IsSafeCatalogueName(name)) {
    error = VendraText::Format(u"the utility name \"%hs\" is not allowed: use 1 to 64 letters, "
                               u"digits and . _ + -, starting with a letter or digit",
                               name);
    return false;
  }
  std::u16string fileName(file.substr(file.find_last_of(u"/\\") == std::u16string::npos
                                          ? 0
                                          : file.find_last_of(u"/\\") + 1));
  // On the service the utility is always the Windows program's name.
  if (fileName.size() < 4 || fileName.substr(fileName.size() - 4) != u".exe") fileName += u".exe";
  const std::u16string folder =
      PathAppend(root, VendraText::Format(u"utilities\\%hs", name));
  Packed packed;
  if (!Pack(file, PathAppend(folder, fileName + u".z"), packed, error)) return false;
  auto manifest = ObjectRef::Adopt(VSJObject::Create());
  manifest->SetStringA(u"name", name);
  manifest->SetString(u"filename", std::u16string_view(fileName));
  manifest->SetInteger(u"file_size", static_cast<int64_t>(packed.size));
  manifest->SetStringA(u"file_sha256", packed.digest);
  manifest->SetInteger(u"compressed_file_size", static_cast<int64_t>(packed.compressedSize));
  manifest->SetStringA(u"compressed_file_sha256", packed.compressedDigest);
  if (signManifest && !signManifest(manifest.get(), error)) return false;
  return SaveJson(*manifest, PathAppend(folder, u"manifest.json"), error);
}

}  // namespace VendraCatalogue
