// "vclient/data": one general request whose reply goes to the caller.
#include <string>

#include "client/string_request.h"
#include "client/v_client.h"
#include "json/object.h"

namespace VendraClient {

eVClientResult VClient::GetData(const std::string& p, const std::string& v, int32_t,
                                VendraJSON::VSJObject** out, std::u16string& error) {
  if (!accessToken_.IsValid()) {
    error = u"Access Token Required";
    return eVClientResult::AccessTokenRequired;
  }
  VClientTransfer transfer;
  const eVClientResult created = transfer.CreateTransfer(error);
  if (created != eVClientResult::Success) return created;
  transfer.SetRequestPath("vclient/data");

  const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
  if (!lock.acquired()) return SessionLockTimedOut(error);
  LoadSession();
  if (!localToken_.IsValid()) {
    error = u"Local Token Required";
    return eVClientResult::LocalTokenRequired;
  }
  transfer.AddFormField("p", p);
  transfer.AddFormField("v", v);
  transfer.AddFormField("access_token", accessToken_.token());
  transfer.AddFormField("local_id", deviceId_);
  if (!localToken_.token().empty()) transfer.AddFormField("local_token", localToken_.token());
  Vendra::RefPtr<VendraJSON::VSJObject> reply;
  const eVClientResult result = PerformStringRequest(transfer, reply, error);
  if (reply) {
    localToken_.ReadFrom(reply.get(), u"local_token");
    refreshToken_.ReadFrom(reply.get(), u"refresh_token");
    SaveSession();
    if (out) *out = reply.Detach();
  }
  return result;
}

}  // namespace VendraClient
