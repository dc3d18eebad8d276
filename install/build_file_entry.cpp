#include "install/build_file_entry.h"

#include "common/text/format.h"
#include "json/array.h"
#include "json/object.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "platform/paths.h"

namespace VendraClient {

Vendra::RefPtr<VendraJSON::VSJObject> EntryAt(const VendraJSON::VSJArray* list, size_t i) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  if (!list->At(i)->GetValue(value.Receive()) || value->GetType() != VendraJSON::kTypeObject)
    return {};
  return Vendra::RefPtr<VendraJSON::VSJObject>::Share(
      static_cast<VendraJSON::VSJObject*>(value.get()));
}

std::u16string EntryText(const VendraJSON::VSJObject* entry, std::u16string_view key) {
  std::u16string text;
  if (!entry->GetString(key, text)) text.clear();
  return text;
}

std::string EntryTextA(const VendraJSON::VSJObject* entry, std::u16string_view key) {
  std::string text;
  if (!entry->GetStringA(key, text)) text.clear();
  return text;
}

uint32_t EntrySize(const VendraJSON::VSJObject* entry, std::u16string_view key) {
  uint32_t size = 0;
  if (!entry->GetUInt(key, size)) size = 0;
  return size;
}

bool EntryPath(const VendraJSON::VSJObject* entry, std::u16string_view folder,
               std::u16string_view suffix, std::u16string& path, std::u16string& error) {
  const std::u16string name = EntryText(entry, u"filename");
  if (!VendraPlatform::IsContainedRelativePath(name)) {
    error = VendraText::Format(u"Refused unsafe file name \"%ls\" in the file list", name);
    return false;
  }
  path = VendraPlatform::PathAppend(folder, name);
  path.append(suffix);
  return true;
}

}  // namespace VendraClient
