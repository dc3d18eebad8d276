#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "client/result.h"

namespace VendraClient {
class IVClient;
}

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

struct ReleaseFloor;

// The install command's one call before anything is downloaded: the
// package manager's trust configuration, the release already installed in
// folder (its record) and the clock against build's signature. On success
// what the build's record is to keep of its signature goes to admitted;
// else error says which check refused the build.
bool AdmitBuild(const VendraJSON::VSJObject* build, const std::string& product,
                const std::string& branch, const std::string& version,
                const std::u16string& folder, bool allowDowngrade, ReleaseFloor& admitted,
                std::u16string& error);

// The install command's second call, once the build is admitted: where the
// package manager's configuration pins a publisher key, fetches the
// product's build list and holds version of branch to it (CheckLiveVersion),
// so that a service cannot point an install at a release older than the
// live one. revokedKeys: those the admitted build left known. Skipped with
// allowDowngrade, which asks for an older version on purpose. On failure
// error says why and heading names the step ("Failed to get the build
// list", "The build list was refused").
VendraClient::eVClientResult AdmitByBuildList(VendraClient::IVClient& client,
                                              const std::string& product,
                                              const std::string& branch,
                                              const std::string& version, bool allowDowngrade,
                                              const std::set<std::string>& revokedKeys,
                                              std::u16string& error, std::string& heading);

// Keeps the admitted build object as build.json in the download folder.
void KeepBuildCopy(const VendraJSON::VSJObject* build, const std::u16string& downloadFolder);

}  // namespace VendraBuild
