// "vclient/data": one general request whose reply goes to the caller.
#include <string>

#include "client/session_tokens.h"
#include "client/string_request.h"
#include "client/v_client.h"
#include "json/object.h"

namespace VendraClient {

eVClientResult VClient::GetData(const std::string& p, const std::string& v, int32_t,
                                VendraJSON::VSJObject** out, std::u16string& error) {
  if (!accessToken_.IsValid()) return AccessTokenRequired(error);
  VClientTransfer transfer;
  const eVClientResult created = transfer.CreateTransfer(error);
  if (created != eVClientResult::Success) return created;
  transfer.SetRequestPath("vclient/data");

  const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  LoadSession();
  if (!localToken_.IsValid()) return LocalTokenRequired(error);
  transfer.AddFormField("p", p);
  transfer.AddFormField("v", v);
  AddAuthenticationFields(transfer);
  Vendra::RefPtr<VendraJSON::VSJObject> reply;
  const eVClientResult result = PerformStringRequest(transfer, reply, error);
  KeepReplyTokens(reply.get());
  if (reply && out) *out = reply.Detach();
  return result;
}

}  // namespace VendraClient
