#pragma once

#include <cstdint>

// The service client, the build client, their jobs and the session they
// share with the vendor's other programs.
namespace VendraClient {

// The signed 32-bit result of every client, build-client and installation
// operation. 0 is success, negative is failure; 1 and 2 are job states.
enum class eVClientResult : int32_t {
  Running = 2,  // a job whose worker runs
  Created = 1,  // a job not started yet
  Success = 0,  // done
  Failed = -1,  // failed; the text says why
  InvalidArgument = -2,  // an argument missing or empty
  NotSupported = -3,  // not part of this build, or no window was given to show
  LockTimeout = -4,  // the session lock was held elsewhere past the wait
  Cancelled = -5,  // the person cancelled, or a download was stopped
  AccessTokenRequired = -100,  // not signed in: no valid access token
  TransferFailed = -101,  // no connection, TLS refused, or the transfer broke off
  HttpError = -102,  // an HTTP status of 4xx or 5xx not listed below
  BadReply = -103,  // the reply is not a JSON object
  LocalTokenRequired = -104,  // this device is not authorised for the account
  RefreshTokenRequired = -105,  // no session to renew: sign in again
  ServiceError = -106,  // the service answered with an error, in the text
  FileOpenFailed = -107,  // a file could not be opened or written
  AccessDenied = -108,  // the system refused access, or a folder failed its trust check
  LoginCancelled = -109,  // the Login window was cancelled
  LaunchFailed = -110,  // a program could not be started, or made no window in time
  MemoryCopyFailed = -111,  // a crash report could not be handed over
  VerifyFailed = -112,  // a size, digest or signature differs from what was expected
  DeviceAuthRequired = -113,  // the service wants this device authorised first
  TransferTimedOut = -116,  // the transfer stalled, crawled or ran past its time
  HttpBadRequest = -400,  // HTTP 400
  HttpUnauthorized = -401,  // HTTP 401
  HttpPaymentRequired = -402,  // HTTP 402
  HttpForbidden = -403,  // HTTP 403
  HttpNotFound = -404,  // HTTP 404
  HttpMethodNotAllowed = -405,  // HTTP 405
  HttpRequestTimeout = -408,  // HTTP 408
  HttpTeapot = -418,  // HTTP 418
};

// The code as the signed 32-bit number jobs and listeners carry.
constexpr int32_t ToInt(eVClientResult r) { return static_cast<int32_t>(r); }
// A number from a job or listener as a result code.
constexpr eVClientResult FromInt(int32_t v) { return static_cast<eVClientResult>(v); }

// The enumerator's name ("LockTimeout"), or "Unknown" for a value without one.
const char* ResultName(eVClientResult r);

}  // namespace VendraClient
