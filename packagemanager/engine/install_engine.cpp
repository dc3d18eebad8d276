#include "packagemanager/engine/install_engine.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "client/data_folder.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/build_file_list.h"
#include "install/file_digest.h"
#include "json/files.h"
#include "json/object.h"
#include "json/type_names.h"
#include "packagemanager/engine/chunk_plan.h"
#include "packagemanager/engine/disk_space.h"
#include "packagemanager/engine/download_cache.h"
#include "packagemanager/engine/file_placement.h"
#include "packagemanager/engine/install_notifier.h"
#include "packagemanager/engine/install_pipeline.h"
#include "packagemanager/engine/install_record.h"
#include "packagemanager/engine/installed_files.h"
#include "packagemanager/engine/program_signatures.h"
#include "packagemanager/engine/release_gate.h"
#include "packagemanager/engine/shown_name.h"
#include "platform/executable.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/paths.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;
using VendraClient::BuildFile;
using VendraClient::BuildFileList;
using ObjectRef = Vendra::RefPtr<VendraJSON::VSJObject>;

constexpr char16_t kStoppedText[] =
    u"The install was stopped before it finished. Every file in the folder is whole (the "
    u"earlier one or the new one); run the install again to finish it";

bool IsSignatureRelated(const BuildFile& file, const std::set<std::u16string>& detached) {
  return file.isSigned || detached.count(file.name) != 0;
}

// The files of this run, each with its cache and install paths, and whether
// its download is still to be fetched. The signed programs and their
// detached signatures come first, placed or not, because their code
// signatures are checked in the cache before anything is placed; their
// count goes to signatureFiles.
void PlanFiles(const BuildFileList& files, const InstallTarget& target,
               const std::u16string& downloads,
               const std::map<std::u16string, InstallRecord::Seen>* seen,
               const FolderOwnership& ownership, const std::u16string& program, Stamps& before,
               std::vector<FileWork>& work, size_t& signatureFiles) {
  // Each file to place, with the digest of what stands there when it was read.
  const std::map<std::u16string, std::string> placing =
      FilesToPlace(files, target.folder, seen, before);
  std::set<std::u16string> detached;
  for (const BuildFile& file : files) {
    if (file.isSigned) detached.insert(DetachedSignatureName(file));
  }
  // In the build's order: the signature-related files, then the rest.
  for (const bool signatureRelated : {true, false}) {
    for (const BuildFile& build : files) {
      if (IsSignatureRelated(build, detached) != signatureRelated) continue;
      const auto found = placing.find(build.name);
      if (found == placing.end() && !signatureRelated) continue;
      FileWork file;
      file.file = &build;
      file.place = found != placing.end();
      file.finalPath = build.PathIn(target.folder);
      file.executable = build.name == program;
      // What stands there is replaced only when an install put it there and
      // nobody changed it since; a folder there fails the placement.
      if (file.place && !VendraPlatform::FolderExists(file.finalPath)) {
        const Ownership owner = ownership.Of(build.name, found->second);
        if (owner == Ownership::Changed || owner == Ownership::Foreign)
          file.keptBecause = KeptBecause(owner);
      }
      if (file.place) {
        file.standing = found->second;
        if (file.standing.empty() && seen)
          if (const auto vouched = seen->find(build.name); vouched != seen->end())
            file.standing = vouched->second.sha256;
      }
      file.cached = build.PathIn(downloads, u".z");
      uint32_t sizeCache = 0;
      std::string digestCache;
      file.download = VendraClient::VerifyFile(file.cached,
                                               static_cast<uint32_t>(build.compressedSize),
                                               sizeCache, build.compressedSha256,
                                               digestCache) != VendraClient::kVerifyFileMatches;
      if (signatureRelated) ++signatureFiles;
      work.push_back(std::move(file));
    }
  }
  // The largest first: their expansion is the longest, and the smaller
  // files download and are placed beside it.
  std::stable_sort(work.begin() + static_cast<long>(signatureFiles), work.end(),
                   [](const FileWork& a, const FileWork& b) { return a.file->size > b.file->size; });
}

// The checked file list of a version's build copy in the download cache,
// when it is there.
std::optional<BuildFileList> KeptFileList(const std::u16string& dataFolder,
                                          const std::string& product, const std::string& branch,
                                          const std::string& version) {
  std::u16string folder;
  std::u16string ignored;
  if (VendraClient::TrustedDataPath(dataFolder, VersionCachePath(product, branch, version),
                                    folder, ignored) != eVClientResult::Success)
    return std::nullopt;
  Vendra::RefPtr<VendraJSON::VSJValue> copy;
  if (!VendraJSON::LoadFile(VendraPlatform::PathAppend(folder, kBuildCopyName), copy.Receive(),
                            ignored) ||
      copy->GetType() != VendraJSON::kTypeObject)
    return std::nullopt;
  return VendraClient::CheckedBuildFileList(static_cast<VendraJSON::VSJObject*>(copy.get()),
                                            product + " " + branch + " " + version, ignored);
}

std::vector<std::u16string> NamesOf(const BuildFileList& files) {
  std::vector<std::u16string> names;
  for (const BuildFile& file : files) names.push_back(file.name);
  return names;
}

// Each file's content as the build lists it.
std::map<std::u16string, std::set<std::string>> ContentsOf(const BuildFileList& files) {
  std::map<std::u16string, std::set<std::string>> contents;
  for (const BuildFile& file : files) contents[file.name].insert(LowerCase(file.sha256));
  return contents;
}

// Removes what only the earlier version had, when it is still as an install
// left it (a changed file is kept, and said so); names that would reach
// outside the folder, by their spelling or through a folder replaced by a
// link, are left alone.
void RemoveLeftovers(const std::u16string& folder, const std::vector<std::u16string>& earlier,
                     const std::vector<std::u16string>& current,
                     const FolderOwnership& ownership, InstallNotifier& notifier) {
  const std::set<std::u16string> keep(current.begin(), current.end());
  for (const auto& name : earlier) {
    if (keep.count(name) != 0 || !VendraPlatform::IsContainedRelativePath(name)) continue;
    const Ownership owner = ownership.Of(name);
    if (owner == Ownership::Ours) {
      if (VendraPlatform::DeleteFileInside(folder, VendraPlatform::PathAppend(folder, name)) == 0)
        notifier.Note("removed " + ShownName(name));
    } else if (owner != Ownership::Absent) {
      notifier.Note("kept " + ShownName(name) + ": " + KeptBecause(owner));
    }
  }
}

}  // namespace

eVClientResult RunInstall(Clients clients, const InstallTarget& target,
                          InstallProgressListener& listener, std::u16string& error,
                          std::string& heading) {
  heading = "The install was refused";
  std::u16string program;
  if (!ProgramName(target.folder, target.executable, program, error))
    return eVClientResult::InvalidArgument;
  InstallRecord earlier;
  std::u16string ignored;
  InstallState earlierState;
  const bool hadRecord = LoadInstallRecord(target.folder, earlier, ignored, &earlierState);
  // Another product's files are not this install's to replace or remove.
  if (hadRecord && earlier.product != target.product) {
    error = VendraText::Format(
        u"%ls holds an install of another product, %hs %hs %hs; nothing was changed. Install "
        u"%hs into a folder of its own, or uninstall %hs from this folder first",
        target.folder, earlier.product, earlier.branch, earlier.version, target.product,
        earlier.product);
    return eVClientResult::Failed;
  }
  heading = "The download folder cannot be used";
  InstallNotifier notifier(listener);
  notifier.Phase(InstallPhase::Fetching);
  const std::string buildName = target.product + " " + target.branch + " " + target.version;
  // The download cache is in the shared data folder: used only when no
  // other user controls it.
  std::u16string dataFolder;
  clients.client.GetDataPath(u"", dataFolder);
  std::u16string downloads;
  eVClientResult code = VendraClient::TrustedDataPath(
      dataFolder, VersionCachePath(target.product, target.branch, target.version), downloads,
      error);
  if (code != eVClientResult::Success) return code;
  // The copy in the cache is written only once the build passed every check.
  heading = "Failed to get the build";
  ObjectRef build;
  code = clients.client.GetBuild(target.product, target.branch, target.version, u"",
                                 build.Receive(), error);
  if (code != eVClientResult::Success || !build) return code;
  const std::optional<BuildFileList> checked =
      VendraClient::CheckedBuildFileList(build.get(), buildName, error);
  if (!checked) return eVClientResult::BadReply;
  const BuildFileList& files = *checked;
  const std::vector<std::u16string> names = NamesOf(files);
  if (std::find(names.begin(), names.end(), program) == names.end()) {
    heading = "The install was refused";
    error = VendraText::Format(
        u"The program to mark, %ls, is not a file of %hs; nothing was changed", program,
        buildName);
    return eVClientResult::InvalidArgument;
  }
  heading = "The build was refused";
  ReleaseFloor release;
  if (!AdmitBuild(build.get(), target.product, target.branch, target.version, target.folder,
                  target.allowDowngrade, release, error))
    return eVClientResult::VerifyFailed;
  code = AdmitByBuildList(clients.client, target.product, target.branch, target.version,
                          target.allowDowngrade, release.revokedKeys, error, heading);
  if (code != eVClientResult::Success) return code;
  KeepBuildCopy(build.get(), downloads);

  heading = "Failed to install";
  notifier.Phase(InstallPhase::Checking);
  RemoveAbandonedRecordCopies(target.folder);
  // A file the earlier complete record saw, unchanged since, is trusted
  // without reading it; a repair reads every file.
  const bool trustStamps = hadRecord && earlierState.complete && !target.checkEveryFile;
  // What stands under a name is replaced or removed only when it is as an
  // install left it.
  const FolderOwnership ownership(target.folder, hadRecord ? &earlier : nullptr,
                                  !target.checkEveryFile);
  std::vector<FileWork> work;
  size_t signatureFiles = 0;
  Stamps before;
  PlanFiles(files, target, downloads, trustStamps ? &earlier.seen : nullptr, ownership, program,
            before, work, signatureFiles);
  // The signed programs are checked in the cache as their ".z" downloads.
  // The chunk lists of the builds the folder held say where each chunk of
  // an installed file lies, without reading it.
  std::vector<BuildFileList> earlierLists;
  if (hadRecord) {
    for (const std::string& version : {earlier.version, earlierState.previousVersion}) {
      if (version.empty() || version == target.version) continue;
      if (auto list = KeptFileList(dataFolder, earlier.product, earlier.branch, version))
        earlierLists.push_back(std::move(*list));
    }
  }
  PlanRebuilds(work, signatureFiles, downloads, earlierLists);
  size_t placing = 0;
  std::set<std::u16string> placedNames;
  for (const FileWork& file : work) {
    placing += file.place ? 1 : 0;
    if (file.place) placedNames.insert(file.file->name);
  }

  // New files a killed run left beside their final names.
  std::vector<std::u16string> named = names;
  if (hadRecord) named.insert(named.end(), earlier.files.begin(), earlier.files.end());
  RemoveUnplacedFiles(target.folder, named);
  InstallRecord record;
  record.product = target.product;
  record.branch = target.branch;
  record.version = target.version;
  record.executable = program;
  record.files = names;
  record.contents = ContentsOf(files);
  record.release = release;
  const bool alreadyComplete = hadRecord && earlierState.complete &&
                               earlier.version == target.version && placing == 0;
  // Before the first file changes: the folder is "incomplete" for this
  // version, and holds files of both versions as far as anyone knows, with
  // the contents either put there: whatever moment a run stops at, what it
  // placed is known as the product's, and nothing else is.
  const auto markIncomplete = [&]() {
    if (alreadyComplete) return true;
    InstallRecord pending = record;
    InstallState incomplete;
    incomplete.complete = false;
    if (hadRecord) {
      incomplete.previousVersion =
          earlierState.complete ? earlier.version : earlierState.previousVersion;
      for (const auto& name : earlier.files) {
        if (std::find(pending.files.begin(), pending.files.end(), name) == pending.files.end())
          pending.files.push_back(name);
        auto& contents = pending.contents[name];
        if (const auto found = earlier.contents.find(name); found != earlier.contents.end())
          contents.insert(found->second.begin(), found->second.end());
        if (const auto seen = earlier.seen.find(name); seen != earlier.seen.end())
          contents.insert(LowerCase(seen->second.sha256));
      }
    }
    return SaveInstallRecord(target.folder, pending, error, incomplete);
  };

  uint64_t downloadTotal = 0;
  uint64_t installTotal = 0;
  uint32_t downloadCount = 0;
  for (const FileWork& file : work) {
    if (file.download) {
      downloadTotal += FetchSize(file);
      ++downloadCount;
    }
    if (file.place) installTotal += file.file->size;
  }
  notifier.SetTotals(downloadTotal, installTotal, static_cast<uint32_t>(placing));
  notifier.Note("Downloading " + std::to_string(downloadCount) + " file(s), " +
                std::to_string(downloadTotal) + " bytes");
  notifier.Note("Installing " + std::to_string(placing) + " file(s), " +
                std::to_string(installTotal) + " bytes");
  if (!FitsOnDisks(work, target.folder, downloads, error)) return eVClientResult::FileOpenFailed;
  const auto stopped = [&](eVClientResult result) {
    if (result == eVClientResult::Cancelled) {
      heading = "Cancelled";
      error = kStoppedText;
    }
    return result;
  };
  if (notifier.StopRequested()) return stopped(eVClientResult::Cancelled);
  if (!work.empty()) {
    InstallPipeline pipeline(clients, build.get(), work, target.folder, notifier);
    if (signatureFiles != 0) {
      if (!pipeline.AwaitDownloads(signatureFiles, code, error)) return stopped(code);
      if (!CheckDownloadedPrograms(clients.buildClient, files, downloads, error)) {
        heading = "The build was refused";
        return eVClientResult::VerifyFailed;
      }
    }
    if (!markIncomplete()) return eVClientResult::Failed;
    if (!pipeline.Place(code, error)) return stopped(code);
  } else if (!markIncomplete()) {
    return eVClientResult::Failed;
  }
  notifier.Phase(InstallPhase::Recording);
  if (!CheckInstalledPrograms(clients.buildClient, files, target.folder, error)) {
    heading = "The build was refused";
    return eVClientResult::VerifyFailed;
  }
  // A program placed by this run got its mode as it was placed.
  if (placedNames.count(program) == 0) {
    const std::u16string path = VendraPlatform::PathAppend(target.folder, program);
    if (const uint32_t err = VendraPlatform::MarkExecutable(target.folder, path)) {
      error = VendraText::Format(
          u"Could not mark %ls as a program (error %u): only a plain file of its own, reached "
          u"without a link, is marked",
          path, err);
      return eVClientResult::Failed;
    }
  }
  if (hadRecord) RemoveLeftovers(target.folder, earlier.files, names, ownership, notifier);
  record.seen = SeenAfterInstall(files, target.folder, placedNames, before);
  if (!SaveInstallRecord(target.folder, record, error)) return eVClientResult::Failed;
  // Every file is in place: a rerun or a repair finds them there and needs
  // the build copy only.
  DropDownloads(downloads);
  return eVClientResult::Success;
}

}  // namespace VendraBuild
