#include "packagemanager/publisher/catalogue_file.h"

#include "json/files.h"
#include "json/value.h"

namespace VendraCatalogue {

Vendra::RefPtr<VendraJSON::VSJObject> LoadCatalogueObject(const std::u16string& path) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  std::u16string ignored;
  if (!VendraJSON::LoadFile(path, value.Receive(), ignored) ||
      value->GetType() != VendraJSON::kTypeObject)
    return {};
  return Vendra::RefPtr<VendraJSON::VSJObject>::Share(static_cast<VendraJSON::VSJObject*>(value.get()));
}

}  // namespace VendraCatalogue
