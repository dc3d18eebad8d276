// Signing in and out: the challenge sign-in, token renewal, and the steps
// that give the client a valid access token with as little asking as
// possible.
#include <string>

#include "common/memory/wipe.h"
#include "client/session_tokens.h"
#include "client/sign_in_challenge.h"
#include "client/string_request.h"
#include "client/text_conversion.h"
#include "client/v_client.h"
#include "common/text/format.h"
#include "json/object.h"
#include "platform/process.h"

namespace VendraClient {

eVClientResult VClient::Logout(std::u16string& error) {
  const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  LoadSession();
  // The user name and this device's local token stay for the next sign-in.
  accessToken_.Clear();
  refreshToken_.Clear();
  SaveSession();
  return eVClientResult::Success;
}

eVClientResult VClient::EnsureLogin(std::u16string& error) {
  if (accessToken_.IsValid()) return eVClientResult::Success;
  std::u16string blocked;
  {
    const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
    if (!lock.acquired()) return SessionLockNotObtained(error);
    LoadSession(&blocked);
  }
  if (accessToken_.IsValid()) return eVClientResult::Success;
  // A sign-in could not be kept: the Login window would only come back.
  if (!blocked.empty()) {
    error = blocked;
    return eVClientResult::Failed;
  }
  if (refreshToken_.IsValid()) {
    // A renewal that did not work, for whatever reason, is forgotten: the
    // person signs in again.
    std::u16string refreshError;
    if (RefreshToken(refreshError) == eVClientResult::Success) return eVClientResult::Success;
  }
  return ShowLoginWindow(error);
}

eVClientResult VClient::EnsureDeviceAuthorized(std::u16string& error) {
  if (localToken_.IsValid()) return eVClientResult::Success;
  return ShowDeviceAuthorizationWindow(error);
}

eVClientResult VClient::LoginW(const std::u16string& user, const std::u16string& password,
                               bool passwordIsDigest, uint32_t sessionSeconds,
                               std::u16string& error) {
  std::string narrowUser;
  std::string narrowPassword;
  ToNarrow(user, narrowUser);
  ToNarrow(password, narrowPassword);
  const eVClientResult result =
      Login(narrowUser, narrowPassword, passwordIsDigest, sessionSeconds, error);
  Vendra::WipeText(narrowPassword);
  return result;
}

eVClientResult VClient::Login(const std::string& user, const std::string& password,
                              bool passwordIsDigest, uint32_t sessionSeconds,
                              std::u16string& error) {
  const SignInChallenge challenge =
      MakeSignInChallenge(password, passwordIsDigest, VendraPlatform::TickCountMs());
  VClientTransfer transfer;
  const eVClientResult created = transfer.CreateTransfer(error);
  if (created != eVClientResult::Success) return created;
  transfer.SetRequestPath("vclient/login");
  transfer.AddFormField("username", user);
  transfer.AddFormField("iv", challenge.iv);
  transfer.AddFormField("key", challenge.key);
  transfer.AddFormField("local_id", deviceId_);
  transfer.AddFormField("length", VendraText::Format("%u", sessionSeconds));

  const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  LoadSession();
  if (!localToken_.token().empty()) transfer.AddFormField("local_token", localToken_.token());

  Vendra::RefPtr<VendraJSON::VSJObject> reply;
  const eVClientResult result = PerformStringRequest(transfer, reply, error);
  if (reply) {
    if (result == eVClientResult::Success) ToWide(user, userName_);
    TakeSignInTokens(reply.get());
    reply.Reset();
    SaveSession();
  }
  return result;
}

eVClientResult VClient::RefreshToken(std::u16string& error) {
  VClientTransfer transfer;
  const eVClientResult created = transfer.CreateTransfer(error);
  if (created != eVClientResult::Success) return created;
  transfer.SetRequestPath("vclient/refresh");

  eVClientResult result = eVClientResult::Success;
  {
    const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
    if (!lock.acquired()) return SessionLockNotObtained(error);
    LoadSession();
    // Another run or program may have renewed it while this one waited.
    if (accessToken_.IsValid()) return eVClientResult::Success;
    if (!refreshToken_.IsValid()) {
      result = RefreshTokenRequired(error);
    } else if (!localToken_.IsValid()) {
      result = LocalTokenRequired(error);
    } else {
      transfer.AddFormField("local_id", deviceId_);
      transfer.AddFormField("local_token", localToken_.token());
      transfer.AddFormField("refresh_token", refreshToken_.token());
      Vendra::RefPtr<VendraJSON::VSJObject> reply;
      result = PerformStringRequest(transfer, reply, error);
      if (reply) {
        TakeSignInTokens(reply.get());
        reply.Reset();
        SaveSession();
      }
    }
  }
  // Not tried again in this process until the file is read again.
  if (ToInt(result) < 0) refreshToken_.Clear();
  return result;
}

eVClientResult VClient::GetUsername(std::u16string& user, std::u16string& error) {
  if (!accessToken_.IsValid() && ToInt(RefreshToken(error)) < 0)
    return eVClientResult::AccessTokenRequired;
  user = userName_;
  return eVClientResult::Success;
}

}  // namespace VendraClient
