#include "client/transfer_advice.h"

#include <curl/curl.h>

#include "common/text/format.h"

namespace VendraClient {
namespace {

constexpr char16_t kProxyVariables[] = u"any proxy (the https_proxy and no_proxy variables)";

// The TLS libraries' words for a certificate made out to another name
// (OpenSSL's, then Schannel's).
bool SaysWrongHostName(std::string_view text) {
  for (std::string_view marker :
       {"host name", "hostname", "WRONG_PRINCIPAL", "CN_NO_MATCH", "principal name"})
    if (text.find(marker) != std::string_view::npos) return true;
  return false;
}

std::u16string Advice(const TransferFailure& f) {
  const std::string_view address = f.address;
  const std::string_view caFile = f.caFile;
  switch (f.curlCode) {
    case CURLE_COULDNT_RESOLVE_PROXY:
      return VendraText::Format(u"The proxy's host is not known: check %ls.", kProxyVariables);
    case CURLE_COULDNT_RESOLVE_HOST:
      return VendraText::Format(
          u"The host of the service address %ls is not known: check VENDRA_SERVICE_URL, the "
          u"network connection and %ls.",
          address, kProxyVariables);
    case CURLE_OPERATION_TIMEDOUT:
      // Once connected, a time-out is the network's or the service's pace.
      if (f.connected) return {};
      [[fallthrough]];
    case CURLE_COULDNT_CONNECT:
      return VendraText::Format(
          u"Nothing answered at the service address %ls: check VENDRA_SERVICE_URL, the network "
          u"connection and %ls.",
          address, kProxyVariables);
    case CURLE_SSL_CACERT_BADFILE:
      if (!caFile.empty())
        return VendraText::Format(
            u"The CA file %ls that VENDRA_CA_FILE names is missing or cannot be read: check "
            u"VENDRA_CA_FILE (the service address is %ls).",
            caFile, address);
      return VendraText::Format(
          u"The system's CA certificates cannot be read: repair the system's certificate store, "
          u"or name a CA file with VENDRA_CA_FILE (the service address is %ls).",
          address);
    // Older libraries answered a certificate for another name with 51.
    case CURLE_OBSOLETE51:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ISSUER_ERROR:
      if (f.curlCode == CURLE_OBSOLETE51 || SaysWrongHostName(f.curlText))
        return VendraText::Format(
            u"The certificate of the service at %ls is not made out for that host name: check "
            u"that VENDRA_SERVICE_URL names the service by a name its certificate holds.",
            address);
      if (!caFile.empty())
        return VendraText::Format(
            u"The service at %ls presented a certificate that neither the CA file %ls (named by "
            u"VENDRA_CA_FILE) nor the system's CAs vouch for: check that VENDRA_CA_FILE names "
            u"the CA that issued it, and that VENDRA_SERVICE_URL names the right service.",
            address, caFile);
      return VendraText::Format(
          u"The service at %ls presented a certificate this machine does not trust "
          u"(VENDRA_CA_FILE is not set, so only the system's CAs count): check that "
          u"VENDRA_SERVICE_URL names the right service, or name the CA that issued its "
          u"certificate with VENDRA_CA_FILE.",
          address);
    case CURLE_SSL_CONNECT_ERROR:
      return VendraText::Format(
          u"No secure connection could be made with the service at %ls: check that "
          u"VENDRA_SERVICE_URL names an HTTPS service, and %ls.",
          address, kProxyVariables);
    default:
      return {};
  }
}

}  // namespace

std::u16string TransferFailureText(const TransferFailure& failure) {
  std::u16string text =
      VendraText::Format(u"curl error %d: %hs", failure.curlCode, failure.curlText);
  const std::u16string advice = Advice(failure);
  if (advice.empty()) return text;
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\n')) text.pop_back();
  if (text.back() != u'.') text += u'.';
  return text + u' ' + advice;
}

}  // namespace VendraClient
