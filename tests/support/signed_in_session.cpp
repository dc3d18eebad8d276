#include "tests/support/signed_in_session.h"

#include <ctime>

#include <nlohmann/json.hpp>

#include "client/device_identity.h"
#include "client/md5.h"
#include "client/shared_memory_channel.h"
#include "client/token_record.h"
#include "client/v_client.h"
#include "common/text/utf.h"
#include "platform/files.h"
#include "tests/support/environment.h"

namespace VendraTest {
namespace {

bool Post(const ServiceProcess& service, const std::string& path,
          const std::vector<std::pair<std::string, std::string>>& fields, nlohmann::json& reply,
          std::string& failure) {
  const HttpReply answer = PostForm(service.url() + path, service.caFile(), fields);
  if (answer.curlCode != 0 || answer.status != 200) {
    failure = answer.curlCode != 0
                  ? path + " could not be reached: " + answer.curlError
                  : path + " answered " + std::to_string(answer.status) + ": " + answer.body;
    return false;
  }
  reply = nlohmann::json::parse(answer.body, nullptr, false);
  return reply.is_object();
}

nlohmann::json StoredToken(const nlohmann::json& token) {
  return {{"access_token", token.at("access_token")}, {"expires_at", token.at("expires_at")}};
}

}  // namespace

bool StoreSignedInSession(const ServiceProcess& service, SignedInSession& session,
                          std::string& failure) {
  if (!AddServiceUser(service.root(), session.user, session.password, session.totpSecret)) {
    failure = "add-user failed";
    return false;
  }
  const std::string device = VendraClient::ComputeDeviceIdentity();
  if (device.empty()) {
    failure = "the machine has no identifier (etc/machine-id below VENDRA_MACHINE_ROOT)";
    return false;
  }
  const std::string iv = "test-iv-" + std::to_string(std::time(nullptr)) + "-" + device;
  const std::string key = VendraClient::Md5Text(iv + VendraClient::Md5Text(session.password));
  nlohmann::json login;
  if (!Post(service, "vclient/login",
            {{"username", session.user}, {"iv", iv}, {"key", key}, {"local_id", device},
             {"length", "86400"}},
            login, failure))
    return false;
  session.accessToken = login["access_token"]["access_token"];

  // The e-mailed code, read from the service's outbox, needs no clock.
  nlohmann::json sent;
  if (!Post(service, "vclient/emaildevicecode",
            {{"access_token", session.accessToken}, {"local_id", device}}, sent, failure))
    return false;
  const std::vector<std::string> codes = service.OutboxCodes();
  if (codes.empty()) {
    failure = "no device code in the service's outbox";
    return false;
  }
  nlohmann::json device_auth;
  if (!Post(service, "vclient/deviceauth",
            {{"access_token", session.accessToken},
             {"local_id", device},
             {"code", codes.back()},
             {"name", "test machine"}},
            device_auth, failure))
    return false;
  session.refreshToken = device_auth["refresh_token"]["access_token"];
  session.localToken = device_auth["local_token"]["access_token"];

  const nlohmann::json stored = {{"username", session.user},
                                 {"refresh_token", StoredToken(device_auth["refresh_token"])},
                                 {"local_token", StoredToken(device_auth["local_token"])}};
  VendraClient::VClient client;
  std::u16string path;
  client.GetDataPath(u"localStorage.json", path);
  if (VendraPlatform::WriteFileAtomically(path, stored.dump(2)) != 0) {
    failure = "cannot write localStorage.json";
    return false;
  }
  session.channel = std::make_shared<VendraClient::SharedMemoryChannel>();
  VendraClient::TokenRecord access(session.channel.get());
  access.Set(session.accessToken, login["access_token"]["expires_at"].get<int64_t>());
  if (!access.SaveToChannel()) {
    failure = "cannot write the shared memory channel";
    return false;
  }
  return true;
}

bool StartSignedInService(const std::string& root, const ServiceOptions& options,
                          std::unique_ptr<ServiceProcess>& service, SignedInSession& session,
                          std::string& failure) {
  service = std::make_unique<ServiceProcess>(root, options);
  if (!service->ok()) {
    failure = "the service did not start";
    return false;
  }
  SetEnvironment("VENDRA_SERVICE_URL", service->url());
  SetEnvironment("VENDRA_CA_FILE", service->caFile());
  return StoreSignedInSession(*service, session, failure);
}

}  // namespace VendraTest
