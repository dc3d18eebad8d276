#include "client/reply_interpreter.h"

#include "client/text_conversion.h"
#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "json/json.h"

namespace VendraClient {

namespace {
const char16_t kDeviceAuthRequired[] = u"device auth required";
}

eVClientResult InterpretReply(eVClientResult code, const std::string& replyText,
                              VendraJSON::VSJObject** reply, std::u16string& error) {
  if (replyText.empty()) return code;
  Vendra::RefPtr<VendraJSON::VSJObject> object;
  std::u16string parseError;
  VendraJSON::ParseObjectA(replyText.c_str(), replyText.size(), object.Receive(), parseError);
  if (!object) {
    if (code == eVClientResult::Success || code == eVClientResult::HttpBadRequest) {
      ToWide(replyText, error);
      return eVClientResult::BadReply;
    }
    return code;
  }
  if (object->Has(u"error")) {
    std::u16string text;
    if (object->GetString(u"error", text)) error = text;
    return VendraText::EqualsIgnoreAsciiCase(error, kDeviceAuthRequired)
               ? eVClientResult::DeviceAuthRequired
               : eVClientResult::ServiceError;
  }
  if (reply) *reply = object.Detach();
  return code;
}

}  // namespace VendraClient
