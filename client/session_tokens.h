#pragma once

#include <string>

#include "client/result.h"

// The names the session's tokens go by in the service's replies and in
// localStorage.json, and the failures of a request made without a token it
// needs.
namespace VendraClient {

inline constexpr char16_t kAccessTokenKey[] = u"access_token";
inline constexpr char16_t kRefreshTokenKey[] = u"refresh_token";
inline constexpr char16_t kLocalTokenKey[] = u"local_token";

// Each sets its text ("Access Token Required", ...) and answers its code.
eVClientResult AccessTokenRequired(std::u16string& error);
eVClientResult RefreshTokenRequired(std::u16string& error);
eVClientResult LocalTokenRequired(std::u16string& error);

}  // namespace VendraClient
