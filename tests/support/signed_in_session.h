#pragma once

#include <memory>
#include <string>

#include "tests/support/service_process.h"

namespace VendraClient {
class SharedMemoryChannel;
}

namespace VendraTest {

// An account that has signed in at the service and authorised this machine,
// with its session stored where the client library finds it: the user name
// and the refresh and local tokens in localStorage.json in the data folder,
// the access token in the shared memory channel. Any VClient of this machine
// root (this process or another) then signs in without a window.
struct SignedInSession {
  std::string user = "tester";
  std::string password = "correct horse";
  std::string totpSecret = "JBSWY3DPEHPK3PXP";
  std::string accessToken;
  std::string refreshToken;
  std::string localToken;
  // The channel lives as long as some process has it open: this one keeps
  // it open for the programs the test starts.
  std::shared_ptr<VendraClient::SharedMemoryChannel> channel;
};

// Creates the account in the service's root, signs in with the challenge
// answer, authorises the device the client library reports, and stores the
// session. Needs VENDRA_MACHINE_ROOT set. False with a reason on failure.
bool StoreSignedInSession(const ServiceProcess& service, SignedInSession& session,
                          std::string& failure);

// Starts the service on root, points the client library at it
// (VENDRA_SERVICE_URL, VENDRA_CA_FILE) and stores a signed-in session: the
// set-up of every test that talks to the service as a signed-in user. Needs
// VENDRA_MACHINE_ROOT set. False with a reason on failure.
bool StartSignedInService(const std::string& root, const ServiceOptions& options,
                          std::unique_ptr<ServiceProcess>& service, SignedInSession& session,
                          std::string& failure);

}  // namespace VendraTest
