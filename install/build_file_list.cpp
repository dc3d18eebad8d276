#include "install/build_file_list.h"

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "install/build_file_entry.h"
#include "json/array.h"
#include "json/object.h"
#include "json/type_names.h"
#include "platform/paths.h"

namespace VendraClient {

namespace {

bool IsDigestText(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

// Reads one entry into file; the fault, or an empty text.
std::u16string ReadEntry(const VendraJSON::VSJObject* entry, BuildFile& file) {
  if (!entry->GetString(u"filename", file.name) || file.name.empty())
    return u"has no \"filename\"";
  if (!VendraPlatform::IsContainedRelativePath(file.name))
    return VendraText::Format(u"\"%ls\" would reach outside the install folder", file.name);
  for (auto [member, size] : {std::pair{u"size", &file.size},
                              std::pair{u"compressed_size", &file.compressedSize}}) {
    uint32_t number = 0;
    if (!entry->GetUInt(member, number))
      return VendraText::Format(u"\"%ls\" has no number \"%ls\"", file.name, member);
    *size = number;
  }
  for (auto [member, digest] : {std::pair{u"sha256", &file.sha256},
                                std::pair{u"compressed_sha256", &file.compressedSha256}}) {
    if (!entry->GetStringA(member, *digest) || !IsDigestText(*digest))
      return VendraText::Format(u"\"%ls\" has no SHA-256 \"%ls\"", file.name, member);
  }
  Vendra::RefPtr<VendraJSON::VSJValue> flag;
  file.isSigned = entry->Get(u"signed", flag.Receive()) && flag->GetType() == VendraJSON::kTypeTrue;
  return u"";
}

}  // namespace

std::u16string BuildFile::PathIn(std::u16string_view folder, std::u16string_view suffix) const {
  std::u16string path = VendraPlatform::PathAppend(folder, name);
  path.append(suffix);
  return path;
}

std::optional<BuildFileList> CheckedBuildFileList(const VendraJSON::VSJObject* build,
                                                  const std::string& buildName,
                                                  std::u16string& error) {
  Vendra::RefPtr<VendraJSON::VSJObject> data;
  Vendra::RefPtr<VendraJSON::VSJArray> files;
  if (!build->GetObject(u"data", data.Receive()) || !data->GetArray(u"files", files.Receive())) {
    error = VendraText::Format(
        u"The service's build %hs has no file list (\"data\".\"files\"); nothing was changed",
        buildName);
    return std::nullopt;
  }
  if (files->Count() == 0) {
    error = VendraText::Format(u"The service's build %hs lists no files; nothing was changed",
                               buildName);
    return std::nullopt;
  }
  BuildFileList list(files->Count());
  for (size_t i = 0; i < files->Count(); ++i) {
    const Vendra::RefPtr<VendraJSON::VSJObject> entry = EntryAt(files.get(), i);
    const std::u16string fault = entry ? ReadEntry(entry.get(), list[i]) : u"is not an object";
    if (!fault.empty()) {
      error = VendraText::Format(
          u"The service's build %hs has a malformed file list: entry %u %ls; nothing was changed",
          buildName, static_cast<unsigned>(i + 1), fault);
      return std::nullopt;
    }
  }
  return list;
}

}  // namespace VendraClient
