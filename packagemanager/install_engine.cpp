#include "packagemanager/install_engine.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "async/v_async_listeners.h"
#include "client/data_folder.h"
#include "client/write_failure.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/build_file_entry.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "install/sha256.h"
#include "install/vbuffer.h"
#include "json/array.h"
#include "json/object.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "packagemanager/build_file_list_check.h"
#include "packagemanager/install_record.h"
#include "packagemanager/program_signatures.h"
#include "packagemanager/release_gate.h"
#include "platform/executable.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/sys_error.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;
using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;
using ArrayRef = Vendra::RefPtr<VSJArray>;

// The expanded file waits under this suffix beside its final name until it
// has been checked; a run that was killed leaves at most such a file, which
// the next run overwrites.
constexpr char16_t kNewFileSuffix[] = u".vbnew";

// How often a wait for a download asks whether the listener wants to stop.
constexpr std::chrono::milliseconds kStopPollInterval{100};
constexpr char16_t kStoppedText[] =
    u"The install was stopped before it finished. Every file in the folder is whole (the "
    u"earlier one or the new one); run the install again to finish it";

ObjectRef EntryAt(const VSJArray* list, size_t i) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  if (!list->At(i)->GetValue(value.Receive()) || value->GetType() != VendraJSON::kTypeObject)
    return ObjectRef();
  return ObjectRef::Share(static_cast<VSJObject*>(value.get()));
}

// Passes notices on one at a time, whichever thread they come from, with
// the running totals of the install.
class Notifier {
 public:
  explicit Notifier(InstallProgressListener& listener) : listener_(listener) {}

  void SetTotals(uint64_t downloadTotal, uint64_t installTotal, uint32_t files) {
    std::lock_guard<std::mutex> locked(mutex_);
    state_.downloadTotal = downloadTotal;
    state_.installTotal = installTotal;
    state_.filesTotal = files;
  }
  void Phase(InstallPhase phase) {
    std::lock_guard<std::mutex> locked(mutex_);
    state_.phase = phase;
    state_.file.clear();
    state_.fileDone = state_.fileTotal = 0;
    listener_.OnProgress(state_);
  }
  // A download's bytes so far; grown is how many arrived since the last.
  void Downloaded(const std::string& file, uint64_t done, uint64_t total, uint64_t grown) {
    std::lock_guard<std::mutex> locked(mutex_);
    state_.downloadedBytes += grown;
    Tell(InstallPhase::Downloading, file, done, total);
  }
  void Installed(const std::string& file, uint64_t size) {
    std::lock_guard<std::mutex> locked(mutex_);
    state_.installedBytes += size;
    ++state_.filesDone;
    Tell(InstallPhase::Installing, file, size, size);
  }
  void Note(const std::string& text) {
    std::lock_guard<std::mutex> locked(mutex_);
    listener_.OnNote(text);
  }
  bool StopRequested() {
    std::lock_guard<std::mutex> locked(mutex_);
    return listener_.StopRequested();
  }

 private:
  void Tell(InstallPhase phase, const std::string& file, uint64_t done, uint64_t total) {
    InstallProgress progress = state_;
    progress.phase = phase;
    progress.file = file;
    progress.fileDone = done;
    progress.fileTotal = total;
    listener_.OnProgress(progress);
  }

  std::mutex mutex_;
  InstallProgressListener& listener_;
  InstallProgress state_;
};

// Turns the client's download progress for one file into the engine's
// notices.
class DownloadHearing final : public VendraClient::VAsyncListenerCounted {
 public:
  DownloadHearing(Notifier& notifier, std::string file, uint64_t size)
      : notifier_(notifier), file_(std::move(file)), size_(size) {}
  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync*, VSJObject* progress) override {
    auto held = ObjectRef::Adopt(progress);
    std::string note;
    if (held->GetStringA(u"note", note)) {
      notifier_.Note(file_ + ": " + note);
      return;
    }
    int64_t total = 0;
    held->GetInteger(u"received_total", total);
    const uint64_t done = static_cast<uint64_t>(std::max<int64_t>(total, 0));
    // A restarted or continued attempt counts only the bytes it adds.
    const uint64_t grown = done > last_ ? done - last_ : 0;
    last_ = done;
    notifier_.Downloaded(file_, done, size_, grown);
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VendraClient::VAsync*, int32_t, const char16_t*) override {}

 private:
  Notifier& notifier_;
  std::string file_;
  uint64_t size_;
  uint64_t last_ = 0;
};

// One file this run downloads, places or both.
struct FileWork {
  ObjectRef entry;           // the build's entry, with "local_filename" when placed
  ObjectRef download;        // the entry to download with, or none
  bool place = true;         // false: only its download is needed (a signature check)
  std::u16string name;       // the build's name
  std::u16string cached;     // the ".z" file in the download cache
  std::u16string finalPath;  // in the install folder
};

std::string Narrow(const std::u16string& text) { return VendraText::Utf16ToUtf8(text); }

// The ".z" file read from the cache must be the one the build names.
eVClientResult CheckCompressed(const FileWork& work, const VendraClient::VBuffer& compressed,
                               std::u16string& error) {
  const uint32_t expectedSize = VendraClient::EntrySize(work.entry.get(), u"compressed_size");
  std::string expected = VendraClient::EntryTextA(work.entry.get(), u"compressed_sha256");
  for (auto& c : expected) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state);
  VendraClient::Sha256Add(state, compressed.Data(), static_cast<size_t>(compressed.Size()));
  std::string digest;
  VendraClient::Sha256Text(state, digest);
  if (static_cast<uint32_t>(compressed.Size()) == expectedSize && digest == expected)
    return eVClientResult::Success;
  // A wrong file is not worth continuing: the next run fetches it afresh.
  VendraPlatform::DeleteFile(work.cached);
  error = VendraText::Format(
      u"Wrong download of %ls: expected %u bytes with SHA-256 %hs, received %d bytes with "
      u"SHA-256 %hs; it was discarded and nothing of it was installed",
      work.name, expectedSize, expected, compressed.Size(), digest);
  return eVClientResult::VerifyFailed;
}

// Expands the cached file in memory, checks it, writes it beside its final
// name and renames it over the earlier file.
eVClientResult PlaceFile(const FileWork& work, const std::u16string& installFolder,
                         uint64_t& placedSize, std::u16string& error) {
  const uint32_t size = VendraClient::EntrySize(work.entry.get(), u"size");
  auto compressed = Vendra::RefPtr<VendraClient::VBuffer>::Adopt(new VendraClient::VBuffer());
  if (!compressed->ReadFromFile(work.cached)) compressed->Resize(0);
  // Checked here, on the bytes about to be expanded, rather than read and
  // hashed once more after the download.
  if (const eVClientResult checked = CheckCompressed(work, *compressed, error);
      checked != eVClientResult::Success)
    return checked;
  Vendra::RefPtr<VendraClient::VBuffer> expanded;
  std::u16string inflateError;
  if (VendraClient::InflateBuffer(compressed.get(), size, expanded.Receive(), inflateError) !=
      eVClientResult::Success) {
    VendraPlatform::DeleteFile(work.cached);
    error = VendraText::Format(u"The download of %ls does not expand (%ls); it was discarded",
                               work.name, inflateError);
    return eVClientResult::VerifyFailed;
  }
  compressed.Reset();
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state);
  VendraClient::Sha256Add(state, expanded->Data(), static_cast<size_t>(expanded->Size()));
  std::string digest;
  VendraClient::Sha256Text(state, digest);
  const std::string expected = VendraClient::EntryTextA(work.entry.get(), u"sha256");
  std::string expectedLower = expected;
  for (auto& c : expectedLower) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
  if (static_cast<uint32_t>(expanded->Size()) != size || digest != expectedLower) {
    VendraPlatform::DeleteFile(work.cached);
    error = VendraText::Format(
        u"Wrong content for %ls: expected %u bytes with SHA-256 %hs, the download expands to %d "
        u"bytes with SHA-256 %hs; it was discarded and nothing of it was installed",
        work.name, size, expected, expanded->Size(), digest);
    return eVClientResult::VerifyFailed;
  }

  // A folder on the way that is a link (planted "data -> /elsewhere" in a
  // folder someone else could write) must not carry the file out of the
  // install folder.
  const uint32_t folderError =
      VendraPlatform::CreateFolderInside(installFolder, VendraPlatform::FolderOf(work.finalPath));
  if (folderError == VendraPlatform::kOutsideFolder) {
    error = VendraText::Format(u"Refused to write %ls: its folder leads outside %ls",
                               work.finalPath, installFolder);
    return eVClientResult::Failed;
  }
  if (folderError != 0) {
    error = VendraText::Format(u"Failed to create the folder for %ls (err=%d)", work.finalPath,
                               static_cast<int32_t>(folderError));
    return eVClientResult::Failed;
  }
  const std::u16string fresh = work.finalPath + kNewFileSuffix;
  // A leftover of a killed run goes first; the new file is never reached
  // through a link.
  VendraPlatform::DeleteFile(fresh);
  VendraPlatform::File file;
  uint32_t err = file.OpenForAppending(fresh);
  if (err == 0) err = file.Write(expanded->Data(), static_cast<size_t>(expanded->Size()));
  if (err == 0) err = file.Flush();
  const uint32_t closed = file.Close();
  if (err == 0) err = closed;
  if (err == 0) err = VendraPlatform::MoveFileReplacing(fresh, work.finalPath);
  if (err != 0) {
    VendraPlatform::DeleteFile(fresh);
    error = VendraClient::WriteFailureText(work.finalPath, err);
    return err == VendraPlatform::SysError::kAccessDenied ? eVClientResult::AccessDenied
                                                           : eVClientResult::FileOpenFailed;
  }
  placedSize = size;
  return eVClientResult::Success;
}

// Downloads the files that need it, in order, on a thread of its own, and
// tells the placing side how many are ready.
class DownloadAhead {
 public:
  DownloadAhead(Clients clients, VSJObject* build, const std::vector<FileWork>& work,
                Notifier& notifier)
      : clients_(clients), build_(build), work_(work), notifier_(notifier) {
    thread_ = std::thread([this] { Run(); });
  }
  ~DownloadAhead() {
    {
      std::lock_guard<std::mutex> locked(mutex_);
      stop_ = true;
    }
    thread_.join();
  }
  DownloadAhead(const DownloadAhead&) = delete;
  DownloadAhead& operator=(const DownloadAhead&) = delete;

  // Waits until file index is in the cache; false with the download's
  // failure when it will not be, or when the listener asks to stop. The
  // listener is asked outside the lock: its calls take the notifier's.
  bool AwaitFile(size_t index, eVClientResult& code, std::u16string& error) {
    for (;;) {
      {
        std::unique_lock<std::mutex> locked(mutex_);
        if (ready_.wait_for(locked, kStopPollInterval, [&] { return done_ > index || failed_; })) {
          if (done_ > index) return true;
          code = code_;
          error = error_;
          return false;
        }
      }
      if (notifier_.StopRequested()) {
        code = eVClientResult::Cancelled;
        error = kStoppedText;
        return false;
      }
    }
  }

 private:
  void Run() {
    for (size_t i = 0; i < work_.size(); ++i) {
      {
        std::lock_guard<std::mutex> locked(mutex_);
        if (stop_) return;
      }
      if (notifier_.StopRequested()) return;
      std::u16string error;
      eVClientResult code = eVClientResult::Success;
      if (work_[i].download) {
        auto hearing = Vendra::RefPtr<DownloadHearing>::Adopt(new DownloadHearing(
            notifier_, Narrow(work_[i].name),
            VendraClient::EntrySize(work_[i].entry.get(), u"compressed_size")));
        code = clients_.client.DownloadFile(build_, work_[i].download.get(), nullptr,
                                            hearing.get(), error);
        if (code == eVClientResult::Success)
          notifier_.Note("downloaded " +
                         Narrow(VendraPlatform::WithOwnSeparators(work_[i].name)));
      }
      std::lock_guard<std::mutex> locked(mutex_);
      if (code != eVClientResult::Success) {
        failed_ = true;
        code_ = code;
        error_ = error;
        ready_.notify_all();
        return;
      }
      done_ = i + 1;
      ready_.notify_all();
    }
  }

  Clients clients_;
  VSJObject* build_;
  const std::vector<FileWork>& work_;
  Notifier& notifier_;
  std::mutex mutex_;
  std::condition_variable ready_;
  size_t done_ = 0;
  bool failed_ = false;
  bool stop_ = false;
  eVClientResult code_ = eVClientResult::Success;
  std::u16string error_;
  std::thread thread_;
};

bool IsSignatureRelated(const VSJObject* entry, const std::set<std::u16string>& detached) {
  Vendra::RefPtr<VendraJSON::VSJValue> flag;
  const bool marked =
      entry->Get(u"signed", flag.Receive()) && flag->GetType() == VendraJSON::kTypeTrue;
  return marked || detached.count(VendraClient::EntryText(entry, u"filename")) != 0;
}

// The files of this run, each with its cache and install paths; the entries
// to download for those not yet in the cache. The signed programs and their
// detached signatures come first, placed or not, because their code
// signatures are checked in the cache before anything is placed; their
// count goes to signatureFiles.
eVClientResult PlanFiles(Clients clients, VSJObject* build, const VSJArray* files,
                         const InstallTarget& target, const std::u16string& downloads,
                         std::vector<FileWork>& work, size_t& signatureFiles,
                         std::u16string& error) {
  ArrayRef toInstall;
  eVClientResult code = clients.buildClient.GetBuildFilesToInstall(build, target.folder,
                                                                   toInstall.Receive(), error);
  if (code != eVClientResult::Success) return code;
  std::set<std::u16string> detached;
  for (size_t i = 0; i < files->Count(); ++i) {
    ObjectRef entry = EntryAt(files, i);
    Vendra::RefPtr<VendraJSON::VSJValue> flag;
    if (entry && entry->Get(u"signed", flag.Receive()) &&
        flag->GetType() == VendraJSON::kTypeTrue)
      detached.insert(VendraClient::EntryText(entry.get(), u"filename") + u".p7s");
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
      if (!VendraClient::EntryPath(file.entry.get(), downloads, u".z", file.cached, error))
        return eVClientResult::Failed;
      needed->Append(file.entry.get());
      if (signatureRelated) ++signatureFiles;
      work.push_back(std::move(file));
    }
  }
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

// Whether the files to place fit on the install folder's disk, counted as
// they are placed: each new file is written whole before the earlier one it
// replaces is let go. A disk that cannot be asked is let be: a full disk is
// still noticed, later, by the write that fails.
bool FitsOnDisk(const std::vector<FileWork>& work, const std::u16string& folder,
                std::u16string& error) {
  uint64_t free = 0;
  std::u16string existing = folder;
  while (VendraPlatform::GetFreeDiskSpace(existing, free) != 0) {
    const std::u16string parent(VendraPlatform::FolderOf(existing));
    if (parent.empty() || parent == existing) return true;
    existing = parent;
  }
  int64_t grown = 0;
  int64_t peak = 0;
  for (const FileWork& file : work) {
    if (!file.place) continue;
    const int64_t size = VendraClient::EntrySize(file.entry.get(), u"size");
    uint64_t earlier = 0;
    if (VendraPlatform::GetFileSize(file.finalPath, earlier) != 0) earlier = 0;
    peak = std::max(peak, grown + size);
    grown += size - static_cast<int64_t>(earlier);
  }
  if (peak <= static_cast<int64_t>(free)) return true;
  error = VendraText::Format(
      u"Not enough space on the disk for %ls: the install needs %llu MB more and %llu MB are "
      u"free. Nothing was changed; free some space and run the install again",
      folder, static_cast<unsigned long long>((peak - static_cast<int64_t>(free)) / 1000000 + 1),
      static_cast<unsigned long long>(free / 1000000));
  return false;
}

std::vector<std::u16string> NamesOf(const VSJArray* files) {
  std::vector<std::u16string> names;
  for (size_t i = 0; i < files->Count(); ++i) {
    if (ObjectRef entry = EntryAt(files, i))
      names.push_back(VendraClient::EntryText(entry.get(), u"filename"));
  }
  return names;
}

// Removes what only the earlier version had; names that would reach
// outside the folder are left alone.
void RemoveLeftovers(const std::u16string& folder, const std::vector<std::u16string>& earlier,
                     const std::vector<std::u16string>& current) {
  const std::set<std::u16string> keep(current.begin(), current.end());
  for (const auto& name : earlier) {
    if (keep.count(name) != 0 || !VendraPlatform::IsContainedRelativePath(name)) continue;
    VendraPlatform::DeleteFile(VendraPlatform::PathAppend(folder, name));
  }
}

}  // namespace

eVClientResult RunInstall(Clients clients, const InstallTarget& target,
                          InstallProgressListener& listener, std::u16string& error,
                          std::string& heading) {
  heading = "The download folder cannot be used";
  Notifier notifier(listener);
  notifier.Phase(InstallPhase::Fetching);
  const std::string buildName = target.product + " " + target.branch + " " + target.version;
  // The download cache is in the shared data folder: used only when no
  // other user controls it.
  std::u16string dataFolder;
  clients.client.GetDataPath(u"", dataFolder);
  std::u16string downloads;
  eVClientResult code = VendraClient::TrustedDataPath(
      dataFolder,
      VendraText::Format(u"downloads\\%hs\\%hs\\%hs", target.product, target.branch,
                         target.version),
      downloads, error);
  if (code != eVClientResult::Success) return code;
  // The copy in the cache is written only once the build passed every check.
  heading = "Failed to get the build";
  ObjectRef build;
  code = clients.client.GetBuild(target.product, target.branch, target.version, u"",
                                 build.Receive(), error);
  if (code != eVClientResult::Success || !build) return code;
  ArrayRef files = CheckedBuildFileList(build.get(), buildName, error);
  if (!files) return eVClientResult::BadReply;
  heading = "The build was refused";
  int64_t releaseCounter = 0;
  if (!AdmitBuild(build.get(), target.product, target.branch, target.version, target.folder,
                  target.allowDowngrade, releaseCounter, error))
    return eVClientResult::VerifyFailed;
  KeepBuildCopy(build.get(), downloads);

  heading = "Failed to install";
  notifier.Phase(InstallPhase::Checking);
  std::vector<FileWork> work;
  size_t signatureFiles = 0;
  code = PlanFiles(clients, build.get(), files.get(), target, downloads, work, signatureFiles,
                   error);
  if (code != eVClientResult::Success) return code;
  size_t placing = 0;
  for (const FileWork& file : work) placing += file.place ? 1 : 0;

  RemoveAbandonedRecordCopies(target.folder);
  InstallRecord earlier;
  std::u16string ignored;
  InstallState earlierState;
  const bool hadRecord = LoadInstallRecord(target.folder, earlier, ignored, &earlierState);
  const std::vector<std::u16string> names = NamesOf(files.get());
  InstallRecord record;
  record.product = target.product;
  record.branch = target.branch;
  record.version = target.version;
  record.executable = target.executable;
  record.files = names;
  record.releaseCounter = releaseCounter;
  const bool alreadyComplete = hadRecord && earlierState.complete &&
                               earlier.version == target.version &&
                               earlier.product == target.product && placing == 0;
  // Before the first file changes: the folder is "incomplete" for this
  // version, and holds files of both versions as far as anyone knows.
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
  if (!FitsOnDisk(work, target.folder, error)) return eVClientResult::FileOpenFailed;
  const auto stopped = [&](eVClientResult result) {
    if (result == eVClientResult::Cancelled) {
      heading = "Cancelled";
      error = kStoppedText;
    }
    return result;
  };
  if (notifier.StopRequested()) return stopped(eVClientResult::Cancelled);
  if (!work.empty()) {
    DownloadAhead ahead(clients, build.get(), work, notifier);
    if (signatureFiles != 0) {
      if (!ahead.AwaitFile(signatureFiles - 1, code, error)) return stopped(code);
      if (!CheckDownloadedPrograms(clients.buildClient, build.get(), downloads, error)) {
        heading = "The build was refused";
        return eVClientResult::VerifyFailed;
      }
    }
    if (!markIncomplete()) return eVClientResult::Failed;
    for (size_t i = 0; i < work.size(); ++i) {
      if (!ahead.AwaitFile(i, code, error)) return stopped(code);
      if (!work[i].place) continue;
      if (notifier.StopRequested()) return stopped(eVClientResult::Cancelled);
      uint64_t placed = 0;
      code = PlaceFile(work[i], target.folder, placed, error);
      if (code != eVClientResult::Success) return code;
      notifier.Installed(Narrow(work[i].name), placed);
    }
  }

  if (work.empty() && !markIncomplete()) return eVClientResult::Failed;
  notifier.Phase(InstallPhase::Recording);
  if (!CheckInstalledPrograms(clients.buildClient, build.get(), target.folder, error)) {
    heading = "The build was refused";
    return eVClientResult::VerifyFailed;
  }
  VendraPlatform::MarkExecutable(target.executable);
  if (hadRecord) RemoveLeftovers(target.folder, earlier.files, names);
  if (!SaveInstallRecord(target.folder, record, error)) return eVClientResult::Failed;
  return eVClientResult::Success;
}

}  // namespace VendraBuild
