#include "packagemanager/release/signed_statement.h"

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "json/object.h"
#include "packagemanager/release/base64.h"

namespace VendraBuild {

using VendraJSON::VSJObject;

bool StatementText(const VSJObject* statement, std::u16string_view key, std::string& out,
                   std::u16string& error) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  if (!statement->Get(key, value.Receive()) || value->GetType() != VendraJSON::kTypeString ||
      !statement->GetStringA(key, out) || out.empty()) {
    error = VendraText::Format(u"its \"%s\" is missing or not a text", std::u16string(key));
    return false;
  }
  return true;
}

bool StatementInteger(const VSJObject* statement, std::u16string_view key, int64_t& out,
                      std::u16string& error) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  if (!statement->Get(key, value.Receive()) || value->GetType() != VendraJSON::kTypeInteger ||
      !statement->GetInteger(key, out)) {
    error = VendraText::Format(u"its \"%s\" is missing or not an integer", std::u16string(key));
    return false;
  }
  return true;
}

bool StatementBytes(const VSJObject* statement, std::u16string_view key, size_t size,
                    std::string& out, std::u16string& error) {
  std::string text;
  if (!StatementText(statement, key, text, error)) return false;
  if (!Base64Decode(text, out) || out.size() != size) {
    error = VendraText::Format(u"its \"%s\" is not %u bytes in base64", std::u16string(key),
                               static_cast<unsigned>(size));
    return false;
  }
  return true;
}

bool IsKeyId(std::string_view text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool StatementKeyId(const VSJObject* statement, std::u16string_view key, std::string& out,
                    std::u16string& error) {
  if (!StatementText(statement, key, out, error)) return false;
  if (!IsKeyId(out)) {
    error = VendraText::Format(u"its \"%s\" is not a key id (32 lower-case hex digits)",
                               std::u16string(key));
    return false;
  }
  return true;
}

}  // namespace VendraBuild
