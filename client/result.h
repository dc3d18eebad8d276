#pragma once

#include <cstdint>

namespace VendraClient {

// The signed 32-bit result of every client, build-client and installation
// operation. 0 is success, negative is failure; 1 and 2 are job states.
enum class eVClientResult : int32_t {
  Running = 2,
  Created = 1,
  Success = 0,
  Failed = -1,
  InvalidArgument = -2,
  NotSupported = -3,
  LockTimeout = -4,
  Cancelled = -5,
  AccessTokenRequired = -100,
  TransferFailed = -101,
  HttpError = -102,
  BadReply = -103,
  LocalTokenRequired = -104,
  RefreshTokenRequired = -105,
  ServiceError = -106,
  FileOpenFailed = -107,
  AccessDenied = -108,
  LoginCancelled = -109,
  LaunchFailed = -110,
  MemoryCopyFailed = -111,
  VerifyFailed = -112,
  DeviceAuthRequired = -113,
  TransferTimedOut = -116,
  HttpBadRequest = -400,
  HttpUnauthorized = -401,
  HttpPaymentRequired = -402,
  HttpForbidden = -403,
  HttpNotFound = -404,
  HttpMethodNotAllowed = -405,
  HttpRequestTimeout = -408,
  HttpTeapot = -418,
};

constexpr int32_t ToInt(eVClientResult r) { return static_cast<int32_t>(r); }
constexpr eVClientResult FromInt(int32_t v) { return static_cast<eVClientResult>(v); }

// The enumerator's name ("LockTimeout"), or "Unknown" for a value without one.
const char* ResultName(eVClientResult r);

}  // namespace VendraClient
