#pragma once

#include "client/iv_client.h"
#include "install/iv_build_client.h"

namespace VendraBuild {

// What every install, and every command that talks to the service, works
// with: the process's two clients.
struct Clients {
  VendraClient::IVClient& client;
  VendraClient::IVBuildClient& buildClient;
};

}  // namespace VendraBuild
