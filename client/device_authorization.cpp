// Authorising this device for the account: a code by e-mail, and the code
// (from an authenticator or the e-mail) with the device's name.
//
// A device that is not authorised has no local token yet, so neither
// request requires one: "local_token" goes along only when there is one.
// The service answers an authorisation with this device's local token (and
// the refresh token), which are stored as after any other request.
#include <string>

#include "client/session_tokens.h"
#include "client/string_request.h"
#include "client/text_conversion.h"
#include "client/v_client.h"
#include "json/object.h"

namespace VendraClient {
eVClientResult VClient::EmailDeviceCode(std::u16string& error) {
  if (!accessToken_.IsValid()) return AccessTokenRequired(error);
  const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  LoadSession();

  VClientTransfer transfer;
  const eVClientResult created = transfer.CreateTransfer(error);
  if (created != eVClientResult::Success) return created;
  transfer.SetRequestPath("vclient/emaildevicecode");
  AddAuthenticationFields(transfer);
  Vendra::RefPtr<VendraJSON::VSJObject> reply;
  return PerformStringRequest(transfer, reply, error);
}

eVClientResult VClient::AuthorizeDevice(const std::u16string& code,
                                        const std::u16string& deviceName,
                                        std::u16string& error) {
  if (code.empty() || deviceName.empty()) return eVClientResult::InvalidArgument;
  if (!accessToken_.IsValid()) return AccessTokenRequired(error);
  const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  LoadSession();

  VClientTransfer transfer;
  const eVClientResult created = transfer.CreateTransfer(error);
  if (created != eVClientResult::Success) return created;
  std::string narrowCode;
  std::string narrowName;
  ToNarrow(code, narrowCode);
  ToNarrow(deviceName, narrowName);
  transfer.SetRequestPath("vclient/deviceauth");
  AddAuthenticationFields(transfer);
  transfer.AddFormField("code", narrowCode);
  transfer.AddFormField("name", narrowName);
  Vendra::RefPtr<VendraJSON::VSJObject> reply;
  const eVClientResult result = PerformStringRequest(transfer, reply, error);
  KeepReplyTokens(reply.get());
  return result;
}

}  // namespace VendraClient
