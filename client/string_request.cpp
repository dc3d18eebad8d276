#include "client/string_request.h"

#include "client/curl_writer.h"
#include "client/reply_interpreter.h"
#include "json/object.h"

namespace VendraClient {

eVClientResult PerformStringRequest(VClientTransfer& transfer,
                                    Vendra::RefPtr<VendraJSON::VSJObject>& reply,
                                    std::u16string& error) {
  std::string replyText;
  VClient_CurlWriter_String writer(&replyText);
  uint32_t httpStatus = 0;
  const eVClientResult code = transfer.PerformRequest(writer, httpStatus, error);
  return InterpretReply(code, replyText, reply.Receive(), error);
}

}  // namespace VendraClient
