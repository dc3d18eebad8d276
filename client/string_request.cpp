#include "client/string_request.h"

#include "client/curl_writer.h"
#include "client/reply_interpreter.h"
#include "client/transport_limits.h"
#include "common/text/format.h"
#include "json/object.h"

namespace VendraClient {

eVClientResult PerformStringRequest(VClientTransfer& transfer,
                                    Vendra::RefPtr<VendraJSON::VSJObject>& reply,
                                    std::u16string& error) {
  std::string replyText;
  transfer.AcceptEncodedReply();
  VClient_CurlWriter_String writer(&replyText, CurrentTransportLimits().largestTextReply);
  uint32_t httpStatus = 0;
  const eVClientResult code = transfer.PerformRequest(writer, httpStatus, error);
  if (writer.Overflowed()) {
    error = VendraText::Format(
        u"The reply to %hs passed the %llu bytes a reply may hold; the request was ended",
        transfer.path(), static_cast<unsigned long long>(writer.largest()));
    return eVClientResult::BadReply;
  }
  return InterpretReply(code, replyText, reply.Receive(), error);
}

}  // namespace VendraClient
