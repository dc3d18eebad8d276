// Which files of a build still have to be installed or downloaded. What was
// found about each local copy travels back in copies of the entries, so a
// later call can trust it instead of reading the file again.
#include <string>

#include "common/memory/ref_ptr.h"
#include "install/build_file_entry.h"
#include "install/file_digest.h"
#include "install/v_build_client.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"

namespace VendraClient {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;

// The object elements of a list; other elements are skipped.
template <typename Visit>
bool ForEachEntry(VSJArray* list, Visit&& visit) {
  for (const VendraJSON::VSJValueContainer* holder : *list) {
    VendraJSON::VSJValue* value = holder->Value();
    if (!value || value->Kind() != VendraJSON::kTypeObject) continue;
    if (!visit(static_cast<VSJObject*>(value))) return false;
  }
  return true;
}

Vendra::RefPtr<VSJObject> CopyOf(const VSJObject* entry) {
  VendraJSON::VSJValue* copy = nullptr;
  entry->Clone(&copy);
  return Vendra::RefPtr<VSJObject>::Adopt(static_cast<VSJObject*>(copy));
}

// The build's "data"."files", or null.
Vendra::RefPtr<VSJArray> BuildFiles(VSJObject* build) {
  Vendra::RefPtr<VSJObject> data;
  Vendra::RefPtr<VSJArray> files;
  if (build->GetObject(u"data", data.Receive())) data->GetArray(u"files", files.Receive());
  return files;
}

}  // namespace

eVClientResult VBuildClient::GetFilesToInstall(VSJArray* files,
                                               const std::u16string& installFolder,
                                               VSJArray** toInstall, std::u16string& error) {
  if (toInstall) *toInstall = nullptr;
  if (!files || !toInstall || installFolder.empty()) return eVClientResult::InvalidArgument;

  auto list = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  const bool complete = ForEachEntry(files, [&](VSJObject* entry) {
    std::u16string path;
    if (!EntryPath(entry, installFolder, u"", path, error)) return false;
    uint32_t sizeCache = EntrySize(entry, u"local_size");
    std::string digestCache = EntryTextA(entry, u"local_sha256");
    if (VerifyFile(path, EntrySize(entry, u"size"), sizeCache, EntryTextA(entry, u"sha256"),
                   digestCache) == kVerifyFileMatches)
      return true;
    Vendra::RefPtr<VSJObject> copy = CopyOf(entry);
    if (!digestCache.empty()) copy->SetStringA(u"local_sha256", digestCache);
    if (sizeCache != 0) copy->SetInteger(u"local_size", sizeCache);
    copy->SetString(u"local_filename", path);
    list->Append(copy.get());
    return true;
  });
  if (!complete) return eVClientResult::Failed;
  *toInstall = list.Detach();
  return eVClientResult::Success;
}

eVClientResult VBuildClient::GetBuildFilesToInstall(VSJObject* build,
                                                    const std::u16string& installFolder,
                                                    VSJArray** toInstall, std::u16string& error) {
  if (toInstall) *toInstall = nullptr;
  if (!build || !toInstall || installFolder.empty()) return eVClientResult::InvalidArgument;
  Vendra::RefPtr<VSJArray> files = BuildFiles(build);
  if (!files) {
    error = u"Build data missing file list";
    return eVClientResult::Failed;
  }
  return GetFilesToInstall(files.get(), installFolder, toInstall, error);
}

eVClientResult VBuildClient::GetFilesToDownload(VSJObject* build, VSJArray* files,
                                                const std::u16string& downloadFolder,
                                                VSJArray** toDownload, std::u16string& error) {
  if (toDownload) *toDownload = nullptr;
  if (!build || !toDownload || downloadFolder.empty()) return eVClientResult::InvalidArgument;
  if (!files) {
    Vendra::RefPtr<VSJArray> buildFiles = BuildFiles(build);
    // The code stays an argument fault, as callers know it; the text says
    // which part of the build was missing.
    if (!buildFiles) {
      error = u"Build data missing file list";
      return eVClientResult::InvalidArgument;
    }
    return GetFilesToDownload(build, buildFiles.get(), downloadFolder, toDownload, error);
  }

  auto list = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  const bool complete = ForEachEntry(files, [&](VSJObject* entry) {
    std::u16string path;
    if (!EntryPath(entry, downloadFolder, u".z", path, error)) return false;
    uint32_t sizeCache = EntrySize(entry, u"local_compressed_size");
    std::string digestCache = EntryTextA(entry, u"local_compressed_sha256");
    if (VerifyFile(path, EntrySize(entry, u"compressed_size"), sizeCache,
                   EntryTextA(entry, u"compressed_sha256"), digestCache) == kVerifyFileMatches)
      return true;
    Vendra::RefPtr<VSJObject> copy = CopyOf(entry);
    copy->SetString(u"local_compressed_filename", path);
    if (!digestCache.empty()) copy->SetStringA(u"local_compressed_sha256", digestCache);
    if (sizeCache != 0) copy->SetInteger(u"local_compressed_size", sizeCache);
    list->Append(copy.get());
    return true;
  });
  if (!complete) return eVClientResult::Failed;
  *toDownload = list.Detach();
  return eVClientResult::Success;
}

}  // namespace VendraClient
