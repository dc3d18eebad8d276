#include "packagemanager/engine/build_file_list_check.h"

#include "common/text/format.h"
#include "install/build_file_entry.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "platform/paths.h"

namespace VendraBuild {

namespace {

bool IsDigestText(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

// The fault of one entry, or an empty text.
std::u16string EntryFault(const VendraJSON::VSJObject* entry) {
  std::u16string name;
  if (!entry->GetString(u"filename", name) || name.empty()) return u"has no \"filename\"";
  if (!VendraPlatform::IsContainedRelativePath(name))
    return VendraText::Format(u"\"%ls\" would reach outside the install folder", name);
  uint32_t size = 0;
  for (const char16_t* member : {u"size", u"compressed_size"}) {
    if (!entry->GetUInt(member, size))
      return VendraText::Format(u"\"%ls\" has no number \"%ls\"", name, member);
  }
  for (const char16_t* member : {u"sha256", u"compressed_sha256"}) {
    std::string digest;
    if (!entry->GetStringA(member, digest) || !IsDigestText(digest))
      return VendraText::Format(u"\"%ls\" has no SHA-256 \"%ls\"", name, member);
  }
  return u"";
}

}  // namespace

Vendra::RefPtr<VendraJSON::VSJArray> CheckedBuildFileList(const VendraJSON::VSJObject* build,
                                                          const std::string& buildName,
                                                          std::u16string& error) {
  Vendra::RefPtr<VendraJSON::VSJObject> data;
  Vendra::RefPtr<VendraJSON::VSJArray> files;
  if (!build->GetObject(u"data", data.Receive()) || !data->GetArray(u"files", files.Receive())) {
    error = VendraText::Format(
        u"The service's build %hs has no file list (\"data\".\"files\"); nothing was changed",
        buildName);
    return {};
  }
  if (files->Count() == 0) {
    error = VendraText::Format(u"The service's build %hs lists no files; nothing was changed",
                               buildName);
    return {};
  }
  for (size_t i = 0; i < files->Count(); ++i) {
    const Vendra::RefPtr<VendraJSON::VSJObject> entry = VendraClient::EntryAt(files.get(), i);
    const std::u16string fault = entry ? EntryFault(entry.get()) : u"is not an object";
    if (!fault.empty()) {
      error = VendraText::Format(
          u"The service's build %hs has a malformed file list: entry %u %ls; nothing was changed",
          buildName, static_cast<unsigned>(i + 1), fault);
      return {};
    }
  }
  return files;
}

}  // namespace VendraBuild
