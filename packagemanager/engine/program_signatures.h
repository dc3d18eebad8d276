#pragma once

#include <string>

#include "install/build_file_list.h"

namespace VendraClient {
class IVBuildClient;
}

namespace VendraBuild {

// The build's name for a signed program's detached signature: elsewhere than
// on Windows each signed program's (BuildFile::isSigned) travels in the build
// as a file of its own, the program's name followed by ".p7s".
std::u16string DetachedSignatureName(const VendraClient::BuildFile& program);

// Before anything is placed: expands every signed program (and its ".p7s",
// when the build lists one) from its download into a copy beside it and asks
// VerifySignature about that copy, which is removed again. False, with the failed check and the program named in
// error, when any program fails.
bool CheckDownloadedPrograms(VendraClient::IVBuildClient& buildClient,
                             const VendraClient::BuildFileList& files,
                             const std::u16string& downloadFolder, std::u16string& error);

// After expansion, before the install is recorded: the same check on the
// installed programs; one that fails is removed.
bool CheckInstalledPrograms(VendraClient::IVBuildClient& buildClient,
                            const VendraClient::BuildFileList& files,
                            const std::u16string& folder, std::u16string& error);

}  // namespace VendraBuild
