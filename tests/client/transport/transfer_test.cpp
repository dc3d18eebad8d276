#include "tests/client/transport/transport_fixture.h"

#ifndef _WIN32
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <functional>
#include <string>
#include <vector>

#include "client/service_address.h"
#include "common/text/utf.h"
#include "client/md5.h"
#include "tests/support/environment.h"
#include "tests/support/test_certificates.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;

TEST_F(TransportTest, EmptyObjectIsSuccess) {
  Script("vclient/t", R"([{"status":200,"body":"{}"}])");
  const Outcome outcome = Request("vclient/t");
  EXPECT_EQ(outcome.code, eVClientResult::Success);
  EXPECT_EQ(outcome.status, 200u);
  ASSERT_TRUE(outcome.reply);
  EXPECT_EQ(outcome.reply->Count(), 0u);
  EXPECT_EQ(outcome.error, u"");
}

TEST_F(TransportTest, PlainTextWith200IsABadReply) {
  Script("vclient/t", R"([{"status":200,"body":"Service down for maintenance","content_type":"text/plain"}])");
  const Outcome outcome = Request("vclient/t");
  EXPECT_EQ(outcome.code, eVClientResult::BadReply);
  EXPECT_EQ(outcome.error, u"Service down for maintenance");
  EXPECT_FALSE(outcome.reply);
}

TEST_F(TransportTest, BodyThatIsNotUtf8) {
  // "caf" followed by a Latin-1 e-acute byte and " au lait".
  Script("vclient/t", R"([{"status":200,"body_hex":"636166e9206175206c616974","content_type":"text/plain"}])");
  const Outcome outcome = Request("vclient/t");
  EXPECT_EQ(outcome.code, eVClientResult::BadReply);
  EXPECT_EQ(outcome.error, u"caf\uFFFD au lait");
}

TEST_F(TransportTest, HttpFailuresWithEmptyBodies) {
  Script("vclient/t", R"([{"status":404},{"status":500},{"status":302},{"status":418}])");
  const Outcome notFound = Request("vclient/t");
  EXPECT_EQ(notFound.code, eVClientResult::HttpNotFound);
  EXPECT_EQ(notFound.error, u"HTTP Status 404");
  const Outcome serverError = Request("vclient/t");
  EXPECT_EQ(serverError.code, eVClientResult::HttpError);
  EXPECT_EQ(serverError.error, u"HTTP Status 500");
  // A redirect without a target is where the transfer ends.
  const Outcome redirect = Request("vclient/t");
  EXPECT_EQ(redirect.code, eVClientResult::HttpError);
  EXPECT_EQ(redirect.status, 302u);
  EXPECT_EQ(redirect.error, u"HTTP Status 302");
  EXPECT_EQ(Request("vclient/t").code, eVClientResult::HttpTeapot);
}

#ifndef _WIN32
// A plain HTTP listener on loopback that only notes whether anyone came.
class PlainListener {
 public:
  PlainListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~PlainListener() { ::close(fd_); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
  }
  // A connection that was made waits in the queue, even when its client
  // has given up on it since.
  bool Visited() const {
    const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return false;
    ::close(connection);
    return true;
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};
#endif

// The form carries the session's tokens: a redirect from the HTTPS service to
// a plain address is not followed (neither with the form, 307, nor without
// it, 302) and is a clear failure; a redirect to HTTPS is followed.
TEST_F(TransportTest, RedirectsAreFollowedOnlyToHttps) {
#ifdef _WIN32
  GTEST_SKIP() << "the plain listener is made with POSIX sockets";
#else
  PlainListener plain;
  ASSERT_NE(plain.port(), 0);
  // A request that did go to the listener would wait for an answer that
  // never comes: it fails within seconds instead.
  VendraClient::SetTransportLimitsForTesting({5, 5});
  for (const int status : {307, 302, 301, 308}) {
    SCOPED_TRACE(status);
    Script("vclient/t", "[{\"status\":" + std::to_string(status) +
                            ",\"headers\":{\"Location\":\"" + plain.Url("vclient/t") + "\"}}]");
    const Outcome outcome = Request("vclient/t", {{"access_token", "SECRET"}});
    EXPECT_EQ(outcome.code, eVClientResult::TransferFailed);
    EXPECT_NE(outcome.error.find(u"not an HTTPS address"), std::u16string::npos)
        << VendraText::Utf16ToUtf8(outcome.error);
    EXPECT_FALSE(outcome.reply);
    EXPECT_FALSE(plain.Visited());
  }
  Script("vclient/t", "[{\"status\":307,\"headers\":{\"Location\":\"" + service_->url() +
                          "vclient/moved\"}}]");
  Script("vclient/moved", R"([{"status":200,"body":"{\"moved\":1}"}])");
  const Outcome moved = Request("vclient/t");
  EXPECT_EQ(moved.code, eVClientResult::Success) << VendraText::Utf16ToUtf8(moved.error);
  ASSERT_TRUE(moved.reply);
  EXPECT_EQ(moved.reply->Count(), 1u);
#endif
}

TEST_F(TransportTest, EarlierErrorTextIsKept) {
  Script("vclient/t", R"([{"status":500}])");
  const Outcome outcome = Request("vclient/t", {{"x", "1"}}, u"Earlier message");
  EXPECT_EQ(outcome.code, eVClientResult::HttpError);
  EXPECT_EQ(outcome.error, u"Earlier message");
}

TEST_F(TransportTest, DeviceAuthRequiredInAnyLetterCase) {
  Script("vclient/t", R"([{"status":401,"body":"{\"error\":\"Device Auth REQUIRED\"}"},
                          {"status":401,"body":"{\"error\":\"Session expired\"}"}])");
  const Outcome device = Request("vclient/t");
  EXPECT_EQ(device.code, eVClientResult::DeviceAuthRequired);
  EXPECT_EQ(device.error, u"Device Auth REQUIRED");
  const Outcome other = Request("vclient/t");
  EXPECT_EQ(other.code, eVClientResult::ServiceError);
  EXPECT_EQ(other.error, u"Session expired");
  // The real service's own answer for a device that is not authorised.
  const Outcome real = Request("vclient/utility", {{"access_token", "none"}, {"u", "x"}});
  EXPECT_EQ(real.code, eVClientResult::ServiceError);
  EXPECT_EQ(real.status, 401u);
}

TEST_F(TransportTest, ErrorMemberOfAnyType) {
  Script("vclient/t", R"([{"status":200,"body":"{\"error\":42}"},
                          {"status":200,"body":"{\"error\":null}"},
                          {"status":400,"body":"{\"error\":\"bad field\"}"},
                          {"status":400,"body":"not json"}])");
  const Outcome number = Request("vclient/t");
  EXPECT_EQ(number.code, eVClientResult::ServiceError);
  EXPECT_EQ(number.error, u"42");
  EXPECT_FALSE(number.reply);
  const Outcome null = Request("vclient/t", {{"x", "1"}}, u"kept");
  EXPECT_EQ(null.code, eVClientResult::ServiceError);
  EXPECT_EQ(null.error, u"kept");
  const Outcome badField = Request("vclient/t");
  EXPECT_EQ(badField.code, eVClientResult::ServiceError);
  EXPECT_EQ(badField.error, u"bad field");
  const Outcome badText = Request("vclient/t");
  EXPECT_EQ(badText.code, eVClientResult::BadReply);
  EXPECT_EQ(badText.error, u"not json");
}

TEST_F(TransportTest, TimeOut) {
  VendraClient::SetTransportLimitsForTesting({1, 60});
  Script("vclient/t", R"([{"status":200,"body":"{}","delay_ms":4000}])");
  const Outcome outcome = Request("vclient/t");
  EXPECT_EQ(outcome.code, eVClientResult::TransferTimedOut);
  EXPECT_EQ(outcome.error.rfind(u"curl error 28: ", 0), 0u);
}

TEST_F(TransportTest, LeadingSlashIsDropped) {
  VendraClient::VClientTransfer with;
  VendraClient::VClientTransfer without;
  std::u16string error;
  ASSERT_EQ(with.CreateTransfer(error), eVClientResult::Success);
  ASSERT_EQ(without.CreateTransfer(error), eVClientResult::Success);
  with.SetRequestPath("/vclient/t");
  without.SetRequestPath("vclient/t");
  EXPECT_EQ(with.url(), service_->url() + "vclient/t");
  EXPECT_EQ(with.url(), without.url());
  Script("vclient/t", R"([{"status":200,"body":"{\"ok\":1}"}])");
  EXPECT_EQ(Request("/vclient/t").code, eVClientResult::Success);
  EXPECT_EQ(service_->CountRequests("vclient/t"), 1);
}

TEST_F(TransportTest, BaseAddressComesFromTheEnvironment) {
  SetEnvironment("VENDRA_SERVICE_URL", "");
  EXPECT_EQ(VendraClient::ServiceBaseAddress(), "https://services.vendrasoftware.com/");
  // A missing final slash is supplied.
  std::string url = service_->url();
  url.pop_back();
  SetEnvironment("VENDRA_SERVICE_URL", url);
  EXPECT_EQ(VendraClient::ServiceBaseAddress(), service_->url());
  Script("vclient/t", R"([{"status":200,"body":"{}"}])");
  EXPECT_EQ(Request("vclient/t").code, eVClientResult::Success);
}

TEST_F(TransportTest, FieldsArriveInOrderAndIntact) {
  ASSERT_TRUE(AddServiceUser(root_.path(), "ada", "pw"));
  const std::string iv = "vclient-42";
  const std::string key = VendraClient::Md5Text(iv + VendraClient::Md5Text("pw"));
  const Outcome outcome = Request("vclient/login", {{"username", "ada"},
                                                    {"iv", iv},
                                                    {"key", key},
                                                    {"local_id", "d\xC3\xA9vice \"1\""},
                                                    {"length", "86400"}});
  ASSERT_EQ(outcome.code, eVClientResult::Success) << VendraText::Utf16ToUtf8(outcome.error);
  ASSERT_TRUE(outcome.reply);
  EXPECT_TRUE(outcome.reply->Has(u"access_token"));
  const auto log = service_->RequestLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["field_order"],
            nlohmann::json::array({"username", "iv", "key", "local_id", "length"}));
  EXPECT_EQ(log[0]["fields"]["local_id"], "d\xC3\xA9vice \"1\"");
}

// Each way of not reaching the service says, after libcurl's words, what to
// check: the setting by name and the address the request went to.
TEST_F(TransportTest, FailuresToReachTheServiceNameTheSettingAndTheAddress) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    int curlCode;
    std::vector<std::string> says;  // besides the address
  };
  std::vector<Case> cases{
      {"nothing listens", [] { SetEnvironment("VENDRA_SERVICE_URL", "https://127.0.0.1:1/"); },
       7, {"Nothing answered at the service address https://127.0.0.1:1/", "VENDRA_SERVICE_URL",
           "https_proxy"}},
  };
#ifdef _WIN32
  // Wine's TLS layer accepts any server certificate, so only a Windows or
  // Linux machine can show the refusals.
#else
  const std::string noFile = root_.Sub("no-such-ca.pem");
  // Another authority, and a service whose certificate it made out for
  // another name.
  TestCertificates elsewhere("DNS:elsewhere.test");
  ASSERT_TRUE(elsewhere.ok());
  ServiceProcess misnamed(root_.path(),
                          {false, false,
                           {"--tls-cert", elsewhere.certFile(), "--tls-key", elsewhere.keyFile()}});
  ASSERT_TRUE(misnamed.ok());
  cases.insert(
      cases.end(),
      {{"no CA file, so only the system's", [] { SetEnvironment("VENDRA_CA_FILE", ""); }, 60,
        {"does not trust", "VENDRA_CA_FILE is not set", "VENDRA_SERVICE_URL"}},
       {"the CA file of another authority",
        [&] { SetEnvironment("VENDRA_CA_FILE", elsewhere.caFile()); }, 60,
        {"vouch", "VENDRA_CA_FILE", elsewhere.caFile()}},
       {"a CA file that is not there", [&] { SetEnvironment("VENDRA_CA_FILE", noFile); }, 77,
        {"The CA file " + noFile + " that VENDRA_CA_FILE names is missing or cannot be read"}},
       {"a certificate for another name",
        [&] {
          SetEnvironment("VENDRA_SERVICE_URL", misnamed.url());
          SetEnvironment("VENDRA_CA_FILE", elsewhere.caFile());
        },
        60, {"not made out for that host name", "VENDRA_SERVICE_URL"}}});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetEnvironment("VENDRA_SERVICE_URL", service_->url());
    SetEnvironment("VENDRA_CA_FILE", service_->caFile());
    c.prepare();
    const std::string address = VendraClient::ServiceBaseAddress();
    const Outcome outcome = Request("vclient/t");
    const std::string error = VendraText::Utf16ToUtf8(outcome.error);
    EXPECT_EQ(outcome.code, eVClientResult::TransferFailed);
    EXPECT_EQ(error.rfind("curl error " + std::to_string(c.curlCode) + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(address), std::string::npos) << error;
    for (const std::string& part : c.says) EXPECT_NE(error.find(part), std::string::npos) << error;
  }
  EXPECT_EQ(service_->CountRequests("vclient/t"), 0);
}

}  // namespace
}  // namespace VendraTest
