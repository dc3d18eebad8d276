#pragma once

#include <cstdint>
#include <string>

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

// Keeps the admitted build object as build.json in the download folder.
void KeepBuildCopy(const VendraJSON::VSJObject* build, const std::u16string& downloadFolder);

}  // namespace VendraBuild
