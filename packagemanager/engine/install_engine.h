#pragma once

#include <string>

#include "client/result.h"
#include "packagemanager/engine/clients.h"
#include "packagemanager/engine/install_progress.h"

namespace VendraBuild {

// What one install puts where.
struct InstallTarget {
  std::string product;
  std::string branch;
  std::string version;
  std::u16string folder;
  std::u16string executable;
  // A version lower than the installed one is refused without it.
  bool allowDowngrade = false;
  // Reads every installed file to tell whether it is current (a repair);
  // otherwise a file whose size and modification time are still those the
  // earlier complete record saw is trusted.
  bool checkEveryFile = false;
};

// Installs one version of a product into its folder as a transaction, for a
// signed-in client (the crash guarantees are described in the README):
//
// - the build and its file list are fetched and checked first (the release
//   checks, a sound file list); a build that fails them changes nothing;
// - before the first file in the folder changes, the install record says
//   "incomplete" for the version, naming the files of both versions;
// - each file is downloaded into the download cache (a partial download is
//   continued), checked against the build's compressed size and digest,
//   expanded beside its final name, checked against its size and digest, and
//   only then renamed over the earlier file: a final name holds the earlier
//   file or the new one, whole, at every moment;
// - the signed programs are downloaded first and their code signatures
//   checked before any file is placed; the next file downloads while this
//   one is expanded and placed; the installed programs are checked again
//   before the record is completed;
// - when every file is in place, files only the earlier version had are
//   removed and the record is written "complete" for the version.
//
// Running it again, for the same version, finishes an interrupted install:
// files already in place are only checked.
//
// On failure error says what went wrong and heading names the step in a
// few words ("The build was refused", "Failed to install").
VendraClient::eVClientResult RunInstall(Clients clients, const InstallTarget& target,
                                        InstallProgressListener& listener, std::u16string& error,
                                        std::string& heading);

}  // namespace VendraBuild
