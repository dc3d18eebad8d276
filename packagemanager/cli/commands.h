#pragma once

#include <string>

#include "packagemanager/engine/clients.h"
#include "packagemanager/engine/install_progress.h"
#include "packagemanager/progress/run_report.h"

namespace VendraBuild {

// Choices of the install command beyond what to install where.
struct InstallOptions {
  // A version lower than the installed one is refused without it.
  bool allowDowngrade = false;
  // Every installed file is read to tell whether it is current (a repair).
  bool checkEveryFile = false;
};

// Each command tells what it does and answers the process exit code: 0 on
// success, else with the reason kept in report.

// Signs in through the shared session, fetches the build, downloads and
// checks its files and expands them into folder.
int InstallCommand(Clients clients, const std::string& product, const std::string& branch,
                   const std::string& version, const std::u16string& folder,
                   const std::u16string& executable, InstallProgressListener& listener,
                   RunReport& report, const InstallOptions& options = {});

// Removes what an install put into folder, and the product's uninstall entry.
int UninstallCommand(const std::u16string& key, const std::u16string& folder, RunReport& report);

// Repairs an install: installs again the version the folder's record names.
int ModifyCommand(Clients clients, const std::u16string& key, const std::u16string& folder,
                  InstallProgressListener& listener, RunReport& report,
                  const InstallOptions& options = {});

}  // namespace VendraBuild
