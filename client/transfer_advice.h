#pragma once

#include <string>
#include <string_view>

namespace VendraClient {

// How a transfer that got no reply ended, as far as the advice needs it.
struct TransferFailure {
  int curlCode = 0;
  std::string_view curlText;  // libcurl's own words (its error buffer)
  bool connected = false;     // a connection to the service was made
  std::string_view address;   // the service base address the request went to
  std::string_view caFile;    // VENDRA_CA_FILE as the transfer used it
};

// The error text of a failed transfer: "curl error %d: TEXT", followed, when
// a setting or the way to the service can be the cause, by what to check,
// naming the setting (VENDRA_SERVICE_URL, VENDRA_CA_FILE, the proxy
// variables) and the address that was used. Every program of the vendor
// shows this text as it is.
std::u16string TransferFailureText(const TransferFailure& failure);

}  // namespace VendraClient
