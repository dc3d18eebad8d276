#include "client/session_tokens.h"

namespace VendraClient {

eVClientResult AccessTokenRequired(std::u16string& error) {
  error = u"Access Token Required";
  return eVClientResult::AccessTokenRequired;
}

eVClientResult RefreshTokenRequired(std::u16string& error) {
  error = u"Refresh Token Required";
  return eVClientResult::RefreshTokenRequired;
}

eVClientResult LocalTokenRequired(std::u16string& error) {
  error = u"Local Token Required";
  return eVClientResult::LocalTokenRequired;
}

}  // namespace VendraClient
