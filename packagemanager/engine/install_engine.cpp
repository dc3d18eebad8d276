#include "packagemanager/engine/install_engine.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "client/data_folder.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/build_file_entry.h"
#include "install/file_digest.h"
#include "json/array.h"
#include "json/object.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "packagemanager/engine/build_file_list_check.h"
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
using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;
using ArrayRef = Vendra::RefPtr<VSJArray>;

constexpr char16_t kStoppedText[] =
    u"The install was stopped before it finished. Every file in the folder is whole (the "
    u"earlier one or the new one); run the install again to finish it";

using VendraClient::EntryAt;

bool IsSignatureRelated(const VSJObject* entry, const std::set<std::u16string>& detached) {
  return IsMarkedSigned(entry) || detached.count(VendraClient::EntryText(entry, u"filename")) != 0;
}

// The files of this run, each with its cache and install paths; the entries
// to download for those not yet in the cache. The signed programs and their
// detached signatures come first, placed or not, because their code
// signatures are checked in the cache before anything is placed; their
// count goes to signatureFiles.
eVClientResult PlanFiles(Clients clients, VSJObject* build, const VSJArray* files,
                         const InstallTarget& target, const std::u16string& downloads,
                         const std::map<std::u16string, InstallRecord::Seen>* seen,
                         const FolderOwnership& ownership, const std::u16string& program,
                         Stamps& before, std::vector<FileWork>& work, size_t& signatureFiles,
                         std::u16string& error) {
  ArrayRef stale;
  ArrayRef toCheck = EntriesToCheck(files, target.folder, seen, before, stale, error);
  if (!toCheck) return eVClientResult::Failed;
  ArrayRef toInstall;
  eVClientResult code = clients.buildClient.GetFilesToInstall(toCheck.get(), target.folder,
                                                              toInstall.Receive(), error);
  if (code != eVClientResult::Success) return code;
  for (size_t i = 0; i < stale->Count(); ++i) {
    if (ObjectRef entry = EntryAt(stale.get(), i)) toInstall->Append(entry.get());
  }
  std::set<std::u16string> detached;
  for (size_t i = 0; i < files->Count(); ++i) {
    ObjectRef entry = EntryAt(files, i);
    if (entry && IsMarkedSigned(entry.get())) detached.insert(DetachedSignatureName(entry.get()));
  }
  std::map<std::u16string, ObjectRef> placing;
  for (size_t i = 0; i < toInstall->Count(); ++i) {
    if (ObjectRef entry = EntryAt(toInstall.get(), i))
      placing[VendraClient::EntryText(entry.get(), u"filename")] = entry;
  }
  // In the build's order: the signature-related files, then the rest.
  auto needed = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const bool signatureRelated : {true, false}) {
    for (size_t i = 0; i < files->Count(); ++i) {
      ObjectRef entry = EntryAt(files, i);
      if (!entry || IsSignatureRelated(entry.get(), detached) != signatureRelated) continue;
      const auto found = placing.find(VendraClient::EntryText(entry.get(), u"filename"));
      if (found == placing.end() && !signatureRelated) continue;
      FileWork file;
      file.place = found != placing.end();
      file.entry = file.place ? found->second : entry;
      file.name = VendraClient::EntryText(file.entry.get(), u"filename");
      file.finalPath = VendraClient::EntryText(file.entry.get(), u"local_filename");
      file.executable = file.name == program;
      // What stands there is replaced only when an install put it there and
      // nobody changed it since; a folder there fails the placement.
      if (file.place && !VendraPlatform::FolderExists(file.finalPath)) {
        const Ownership owner =
            ownership.Of(file.name, VendraClient::EntryTextA(file.entry.get(), u"local_sha256"));
        if (owner == Ownership::Changed || owner == Ownership::Foreign)
          file.keptBecause = KeptBecause(owner);
      }
      if (!VendraClient::EntryPath(file.entry.get(), downloads, u".z", file.cached, error))
        return eVClientResult::Failed;
      needed->Append(file.entry.get());
      if (signatureRelated) ++signatureFiles;
      work.push_back(std::move(file));
    }
  }
  // The largest first: their expansion is the longest, and the smaller
  // files download and are placed beside it.
  std::stable_sort(work.begin() + static_cast<long>(signatureFiles), work.end(),
                   [](const FileWork& a, const FileWork& b) {
                     return VendraClient::EntrySize(a.entry.get(), u"size") >
                            VendraClient::EntrySize(b.entry.get(), u"size");
                   });
  ArrayRef toDownload;
  code = clients.buildClient.GetFilesToDownload(build, needed.get(), downloads,
                                                toDownload.Receive(), error);
  if (code != eVClientResult::Success) return code;
  std::map<std::u16string, ObjectRef> pending;
  for (size_t i = 0; i < toDownload->Count(); ++i) {
    if (ObjectRef entry = EntryAt(toDownload.get(), i))
      pending[VendraClient::EntryText(entry.get(), u"filename")] = entry;
  }
  for (FileWork& file : work) {
    if (const auto found = pending.find(file.name); found != pending.end())
      file.download = found->second;
  }
  return eVClientResult::Success;
}

std::vector<std::u16string> NamesOf(const VSJArray* files) {
  std::vector<std::u16string> names;
  for (size_t i = 0; i < files->Count(); ++i) {
    if (ObjectRef entry = EntryAt(files, i))
      names.push_back(VendraClient::EntryText(entry.get(), u"filename"));
  }
  return names;
}

// Each file's content as the build lists it.
std::map<std::u16string, std::set<std::string>> ContentsOf(const VSJArray* files) {
  std::map<std::u16string, std::set<std::string>> contents;
  for (size_t i = 0; i < files->Count(); ++i) {
    if (ObjectRef entry = EntryAt(files, i)) {
      contents[VendraClient::EntryText(entry.get(), u"filename")].insert(
          LowerCase(VendraClient::EntryTextA(entry.get(), u"sha256")));
    }
  }
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
  ArrayRef files = CheckedBuildFileList(build.get(), buildName, error);
  if (!files) return eVClientResult::BadReply;
  const std::vector<std::u16string> names = NamesOf(files.get());
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
  code = PlanFiles(clients, build.get(), files.get(), target, downloads,
                   trustStamps ? &earlier.seen : nullptr, ownership, program, before, work,
                   signatureFiles, error);
  if (code != eVClientResult::Success) return code;
  size_t placing = 0;
  std::set<std::u16string> placedNames;
  for (const FileWork& file : work) {
    placing += file.place ? 1 : 0;
    if (file.place) placedNames.insert(file.name);
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
  record.contents = ContentsOf(files.get());
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
      downloadTotal += VendraClient::EntrySize(file.entry.get(), u"compressed_size");
      ++downloadCount;
    }
    if (file.place) installTotal += VendraClient::EntrySize(file.entry.get(), u"size");
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
      if (!CheckDownloadedPrograms(clients.buildClient, build.get(), downloads, error)) {
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
  if (!CheckInstalledPrograms(clients.buildClient, build.get(), target.folder, error)) {
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
  record.seen = SeenAfterInstall(files.get(), target.folder, placedNames, before);
  if (!SaveInstallRecord(target.folder, record, error)) return eVClientResult::Failed;
  // Every file is in place: a rerun or a repair finds them there and needs
  // the build copy only.
  DropDownloads(downloads);
  return eVClientResult::Success;
}

}  // namespace VendraBuild
