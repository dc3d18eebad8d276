// Compressing a folder's files into ".z" files, with the file list that
// describes both forms.
#include <string>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "install/v_build_client.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/paths.h"

namespace VendraClient {
namespace {

std::u16string DigestText(const std::u16string& path) {
  std::string digest;
  if (!GetFileDigest(path, digest)) digest.clear();
  return std::u16string(digest.begin(), digest.end());
}

}  // namespace

eVClientResult VBuildClient::CompressFiles(const std::u16string& outputFolder,
                                           const std::u16string& sourceFolder,
                                           VendraJSON::VSJArray* names,
                                           VendraJSON::VSJArray** files, std::u16string& error) {
  if (outputFolder.empty() || sourceFolder.empty() || !names || !files)
    return eVClientResult::InvalidArgument;
  *files = nullptr;

  auto list = Vendra::RefPtr<VendraJSON::VSJArray>::Adopt(VendraJSON::VSJArray::Create());
  for (const VendraJSON::VSJValueContainer* holder : *names) {
    const VendraJSON::VSJValue* value = holder->Value();
    if (!value || value->Kind() != VendraJSON::kTypeString) continue;
    std::u16string name;
    value->ToString(name);
    // The list is meant for a service whose clients join these names to
    // their own folders; a name that leaves the folder is refused here too.
    if (!VendraPlatform::IsContainedRelativePath(name)) {
      error = VendraText::Format(u"Refused unsafe file name \"%ls\" in the file list", name);
      return eVClientResult::Failed;
    }
    const std::u16string source = VendraPlatform::PathAppend(sourceFolder, name);
    const std::u16string compressed = VendraPlatform::PathAppend(outputFolder, name) + u".z";
    // The codec compresses a missing file as empty content; a list entry for a
    // file that is not there would ship an empty file, so it is an error.
    VendraPlatform::File probe;
    if (const uint32_t openError = probe.OpenForReading(source)) {
      error = VendraText::Format(u"Failed to open file %ls for reading (err=%u)", source,
                                 openError);
      return eVClientResult::Failed;
    }
    probe.Close();

    uint32_t folderError = 0;
    VendraPlatform::CreateLocalPath(compressed, folderError);
    int32_t size = 0;
    int32_t compressedSize = 0;
    const eVClientResult deflated = VendraClient::DeflateFile(kBuildCompressionLevel, source, size,
                                                              compressed, compressedSize, error);
    if (deflated != eVClientResult::Success) return deflated;

    auto entry = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    entry->SetString(u"filename", name);
    entry->SetInteger(u"size", size);
    entry->SetString(u"sha256", DigestText(source));
    entry->SetString(u"compressed_sha256", DigestText(compressed));
    entry->SetInteger(u"compressed_size", compressedSize);
    list->Append(entry.get());
  }
  *files = list.Detach();
  return eVClientResult::Success;
}

}  // namespace VendraClient
