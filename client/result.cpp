#include "client/result.h"

namespace VendraClient {

const char* ResultName(eVClientResult r) {
  switch (r) {
    case eVClientResult::Running: return "Running";
    case eVClientResult::Created: return "Created";
    case eVClientResult::Success: return "Success";
    case eVClientResult::Failed: return "Failed";
    case eVClientResult::InvalidArgument: return "InvalidArgument";
    case eVClientResult::NotSupported: return "NotSupported";
    case eVClientResult::LockTimeout: return "LockTimeout";
    case eVClientResult::Cancelled: return "Cancelled";
    case eVClientResult::AccessTokenRequired: return "AccessTokenRequired";
    case eVClientResult::TransferFailed: return "TransferFailed";
    case eVClientResult::HttpError: return "HttpError";
    case eVClientResult::BadReply: return "BadReply";
    case eVClientResult::LocalTokenRequired: return "LocalTokenRequired";
    case eVClientResult::RefreshTokenRequired: return "RefreshTokenRequired";
    case eVClientResult::ServiceError: return "ServiceError";
    case eVClientResult::FileOpenFailed: return "FileOpenFailed";
    case eVClientResult::AccessDenied: return "AccessDenied";
    case eVClientResult::LoginCancelled: return "LoginCancelled";
    case eVClientResult::LaunchFailed: return "LaunchFailed";
    case eVClientResult::MemoryCopyFailed: return "MemoryCopyFailed";
    case eVClientResult::VerifyFailed: return "VerifyFailed";
    case eVClientResult::DeviceAuthRequired: return "DeviceAuthRequired";
    case eVClientResult::TransferTimedOut: return "TransferTimedOut";
    case eVClientResult::HttpBadRequest: return "HttpBadRequest";
    case eVClientResult::HttpUnauthorized: return "HttpUnauthorized";
    case eVClientResult::HttpPaymentRequired: return "HttpPaymentRequired";
    case eVClientResult::HttpForbidden: return "HttpForbidden";
    case eVClientResult::HttpNotFound: return "HttpNotFound";
    case eVClientResult::HttpMethodNotAllowed: return "HttpMethodNotAllowed";
    case eVClientResult::HttpRequestTimeout: return "HttpRequestTimeout";
    case eVClientResult::HttpTeapot: return "HttpTeapot";
  }
  return "Unknown";
}

}  // namespace VendraClient
