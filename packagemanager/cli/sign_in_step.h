#pragma once

#include "packagemanager/engine/clients.h"
#include "packagemanager/progress/run_report.h"

namespace VendraBuild {

// Signs in and makes sure the device is authorised before a command that
// talks to the service, and says in words what stands in the way: a machine
// without the identifier the device is authorised by (before anything is
// asked), a service that cannot be reached (with curl's reason and what to
// check), a cancelled window, or, when nothing may be asked (nonInteractive), the
// missing stored session and how to sign in first. 0 when signed in, else
// the exit code, with the reason kept in report.
int SignInFirst(Clients clients, bool nonInteractive, RunReport& report);

}  // namespace VendraBuild
