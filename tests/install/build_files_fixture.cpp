#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/install/build_files_fixture.h"

#include "common/text/utf.h"
#include "json/value_container.h"
#include "platform/paths.h"
#include "tests/support/environment.h"

namespace VendraTest {

std::string Compress(const std::string& bytes, int level) {
  uLongf size = compressBound(bytes.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), level);
  out.resize(size);
  return out;
}

ObjectRef MakeEntry(const std::string& name, const std::string& content) {
  ObjectRef entry = ObjectRef::Adopt(VendraJSON::VSJObject::Create());
  const std::string compressed = Compress(content);
  entry->SetStringA(u"filename", name);
  entry->SetInteger(u"size", static_cast<int64_t>(content.size()));
  entry->SetStringA(u"sha256", Sha256Hex(content));
  entry->SetInteger(u"compressed_size", static_cast<int64_t>(compressed.size()));
  entry->SetStringA(u"compressed_sha256", Sha256Hex(compressed));
  return entry;
}

ArrayRef MakeList(std::initializer_list<VendraJSON::VSJValue*> values) {
  ArrayRef list = ArrayRef::Adopt(VendraJSON::VSJArray::Create());
  for (VendraJSON::VSJValue* value : values) list->Append(value);
  return list;
}

VendraJSON::VSJObject* EntryAt(const VendraJSON::VSJArray* list, size_t i) {
  VendraJSON::VSJValue* value = list->At(i)->Value();
  return value && value->Kind() == VendraJSON::kTypeObject
             ? static_cast<VendraJSON::VSJObject*>(value)
             : nullptr;
}

std::string Text(const VendraJSON::VSJObject* object, const char16_t* key) {
  std::string text;
  return object->GetStringA(key, text) ? text : "<missing>";
}

int64_t Number(const VendraJSON::VSJObject* object, const char16_t* key) {
  int64_t value = 0;
  return object->GetInteger(key, value) ? value : -1;
}

void UseTestMachineRoot() {
  static TempFolder root;
  SetEnvironment("VENDRA_MACHINE_ROOT", root.path());
}

std::string Joined(const TempFolder& folder, const char* relative) {
  return VendraText::Utf16ToUtf8(
      VendraPlatform::PathAppend(folder.wpath(), VendraText::Utf8ToUtf16(relative)));
}

}  // namespace VendraTest
