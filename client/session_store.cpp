// The stored session: localStorage.json in the data folder (user name,
// refresh token, local token) and the shared memory channel (access token).
#include <mutex>
#include <string>

#include "client/session_tokens.h"
#include "client/token_record.h"
#include "client/v_client.h"
#include "json/files.h"
#include "json/object.h"
#include "json/value.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/sys_error.h"

namespace VendraClient {
namespace {

constexpr char16_t kSessionFile[] = u"localStorage.json";
constexpr char16_t kUserNameKey[] = u"username";

// The file holds a user name and two tokens; anything much larger is not
// ours, and is replaced at the next save.
constexpr size_t kSessionFileLimit = 1 << 20;

}  // namespace

bool VClient::LoadSession(std::u16string* blocked) {
  std::lock_guard<std::recursive_mutex> session(sessionMemory_);
  std::u16string path;
  GetDataPath(kSessionFile, path);
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  std::u16string error;
  uint32_t readError = 0;
  // A missing, unreadable or damaged file leaves the session in memory as it
  // is; so does a file another user planted.
  const bool loaded =
      VendraJSON::LoadPrivateFile(path, kSessionFileLimit, value.Receive(), error, &readError);
  if (loaded && value && value->GetType() == VendraJSON::kTypeObject) {
    const auto* file = static_cast<const VendraJSON::VSJObject*>(value.get());
    std::u16string userName;
    if (file->GetString(kUserNameKey, userName)) userName_ = std::move(userName);
    // A refresh token the file no longer holds was signed out by another
    // process: it is not stored again, unless a reply handed it to this
    // process after that.
    if (!refreshToken_.ReadFrom(file, kRefreshTokenKey) && !refreshTokenUnstored_)
      refreshToken_.Clear();
    localToken_.ReadFrom(file, kLocalTokenKey);
  }
  if (!accessToken_.IsValid()) {
    accessToken_.LoadFromChannel();
  } else if (!accessTokenUnstored_) {
    // The same for the access token: a channel that holds a token object
    // without a valid token was cleared by a sign-out.
    TokenRecord shared(&channel_);
    if (shared.LoadFromChannel() && !shared.IsValid()) accessToken_.Clear();
  }
  // Nothing can replace a folder (or a device) in the file's place: every
  // save would fail, and every sign-in with it.
  if (readError != VendraPlatform::SysError::kNotAPlainFile) return true;
  if (blocked) *blocked = error + u" No session can be kept until it is removed.";
  return false;
}

bool VClient::SaveSession() {
  std::lock_guard<std::recursive_mutex> session(sessionMemory_);
  std::u16string path;
  GetDataPath(kSessionFile, path);
  uint32_t folderError = 0;
  VendraPlatform::CreateLocalPath(path, folderError);

  const auto file = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  if (!userName_.empty()) file->SetString(kUserNameKey, std::u16string_view(userName_));
  // Only tokens that can still be used are kept; the access token never
  // goes to the file.
  if (refreshToken_.ExpiresLater()) refreshToken_.WriteTo(file.get(), kRefreshTokenKey);
  if (localToken_.ExpiresLater()) localToken_.WriteTo(file.get(), kLocalTokenKey);
  std::string text;
  file->WriteJSONA(text, true, 0, "\n");
  // Replaced whole, so that no reader (nor a crash) ever meets half a file;
  // only its owner may read the tokens.
  const bool written = VendraPlatform::WritePrivateFileAtomically(path, text) == 0;
  if (written) refreshTokenUnstored_ = false;

  if (accessToken_.SaveToChannel()) accessTokenUnstored_ = false;
  return written;
}

void VClient::TakeSignInTokens(const VendraJSON::VSJObject* reply) {
  if (accessToken_.ReadFrom(reply, kAccessTokenKey)) accessTokenUnstored_ = true;
  if (refreshToken_.ReadFrom(reply, kRefreshTokenKey)) refreshTokenUnstored_ = true;
  localToken_.ReadFrom(reply, kLocalTokenKey);
}

void VClient::KeepReplyTokens(const VendraJSON::VSJObject* reply) {
  if (!reply) return;
  localToken_.ReadFrom(reply, kLocalTokenKey);
  if (refreshToken_.ReadFrom(reply, kRefreshTokenKey)) refreshTokenUnstored_ = true;
  SaveSession();
}

}  // namespace VendraClient
