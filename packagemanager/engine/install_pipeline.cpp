#include "packagemanager/engine/install_pipeline.h"

#include <algorithm>
#include <chrono>

#include "async/v_async_listeners.h"
#include "client/transfer_stop.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "packagemanager/engine/chunk_cache.h"
#include "packagemanager/engine/chunk_plan.h"
#include "packagemanager/engine/shown_name.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace VendraBuild {

using VendraClient::eVClientResult;

namespace {

// Transfers in flight at once: enough to keep the line busy while one waits
// for its first bytes, few enough for the service and two cores.
constexpr size_t kDownloadsInFlight = 3;
// How often a wait asks the listener whether to stop.
constexpr std::chrono::milliseconds kStopPollInterval{100};
// Files expanded and placed at once: one per core; the second also takes
// over while the first waits for its file to reach the disk.
constexpr size_t kPlacers = 2;

std::string Narrow(const std::u16string& text) { return VendraText::Utf16ToUtf8(text); }

// The file's entry as the client's DownloadFile takes it: the name to ask
// for, what the download must be, and its place in the cache.
Vendra::RefPtr<VendraJSON::VSJObject> DownloadEntry(const FileWork& work) {
  auto entry = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  entry->SetString(u"filename", work.file->name);
  entry->SetInteger(u"compressed_size", static_cast<int64_t>(work.file->compressedSize));
  entry->SetStringA(u"compressed_sha256", work.file->compressedSha256);
  entry->SetString(u"local_compressed_filename", work.cached);
  return entry;
}

// A run of chunks as the client's DownloadFile takes it: a piece of a pack.
Vendra::RefPtr<VendraJSON::VSJObject> RunEntry(const FileWork& work, const ChunkRun& run) {
  auto entry = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  entry->SetString(u"filename", work.file->name);
  entry->SetStringA(u"pack", run.pack);
  entry->SetInteger(u"offset", static_cast<int64_t>(run.offset));
  entry->SetInteger(u"compressed_size", static_cast<int64_t>(run.size));
  entry->SetString(u"local_compressed_filename", run.path);
  return entry;
}

// Turns the client's download progress for one file into the engine's
// notices, and tells the transfer when the install stops. A file fetched in
// several pieces counts from base, the bytes of its earlier pieces.
class DownloadHearing final : public VendraClient::VAsyncListenerCounted,
                              public VendraClient::TransferStopSignal {
 public:
  DownloadHearing(InstallNotifier& notifier, std::string file, uint64_t size,
                  const std::atomic<bool>& stop, uint64_t base = 0)
      : notifier_(notifier), file_(std::move(file)), size_(size), base_(base), stop_(stop) {}
  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync*, VendraJSON::VSJObject* progress) override {
    auto held = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(progress);
    std::string note;
    if (held->GetStringA(u"note", note)) {
      notifier_.Note(ShownName(file_) + ": " + note);
      return;
    }
    int64_t total = 0;
    held->GetInteger(u"received_total", total);
    const uint64_t done = static_cast<uint64_t>(std::max<int64_t>(total, 0));
    // A restarted or continued attempt counts only the bytes it adds.
    const uint64_t grown = done > last_ ? done - last_ : 0;
    last_ = done;
    notifier_.Downloaded(file_, base_ + done, size_, grown);
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  bool StopRequested() const override { return stop_.load() || notifier_.StopRequested(); }

 private:
  InstallNotifier& notifier_;
  std::string file_;
  uint64_t size_;
  uint64_t base_;
  uint64_t last_ = 0;
  const std::atomic<bool>& stop_;
};

}  // namespace

InstallPipeline::InstallPipeline(Clients clients, VendraJSON::VSJObject* build,
                                 const std::vector<FileWork>& work,
                                 const std::u16string& installFolder, InstallNotifier& notifier)
    : clients_(clients),
      build_(build),
      work_(work),
      installFolder_(installFolder),
      notifier_(notifier),
      downloaded_(work.size(), false),
      queued_(work.size(), false),
      waiters_(work.size()) {
  size_t downloads = 0;
  for (size_t i = 0; i < work_.size(); ++i) {
    if (work_[i].download)
      ++downloads;
    else
      downloaded_[i] = true;
    if (work_[i].place) ++placesLeft_;
    if (work_[i].rebuild)
      for (const size_t other : work_[i].rebuild->waitsFor) waiters_[other].push_back(i);
  }
  for (size_t i = 0; i < work_.size(); ++i) QueueIfReady(i);
  for (size_t i = 0; i < std::min(downloads, kDownloadsInFlight); ++i)
    downloads_.emplace_back([this] { Download(); });
}

InstallPipeline::~InstallPipeline() {
  {
    std::lock_guard<std::mutex> locked(mutex_);
    stop_ = true;
    changed_.notify_all();
  }
  for (auto& thread : placers_) thread.join();
  for (auto& thread : downloads_) thread.join();
}

void InstallPipeline::Fail(eVClientResult code, const std::u16string& error) {
  std::lock_guard<std::mutex> locked(mutex_);
  if (!failed_ && !stop_) {
    failed_ = true;
    code_ = code;
    error_ = error;
  }
  stop_ = true;
  changed_.notify_all();
}

void InstallPipeline::Download() {
  for (;;) {
    if (notifier_.StopRequested()) return Fail(eVClientResult::Cancelled, u"");
    size_t index = 0;
    {
      std::lock_guard<std::mutex> locked(mutex_);
      while (nextDownload_ < work_.size() && !work_[nextDownload_].download) ++nextDownload_;
      if (stop_ || nextDownload_ >= work_.size()) return;
      index = nextDownload_++;
    }
    const FileWork& file = work_[index];
    std::u16string error;
    eVClientResult code = eVClientResult::Success;
    if (file.rebuild) {
      code = FetchRuns(file, error);
    } else {
      auto hearing = Vendra::RefPtr<DownloadHearing>::Adopt(new DownloadHearing(
          notifier_, Narrow(file.file->name), file.file->compressedSize, stop_));
      code = clients_.client.DownloadFile(build_, DownloadEntry(file).get(), nullptr,
                                          hearing.get(), error);
    }
    if (code != eVClientResult::Success) {
      Fail(code, error);
      return;
    }
    notifier_.Note("downloaded " + ShownName(file.file->name));
    std::lock_guard<std::mutex> locked(mutex_);
    downloaded_[index] = true;
    QueueIfReady(index);
    for (const size_t waiter : waiters_[index]) QueueIfReady(waiter);
    changed_.notify_all();
  }
}

eVClientResult InstallPipeline::FetchRuns(const FileWork& file, std::u16string& error) {
  uint64_t base = 0;
  for (const ChunkRun& run : file.rebuild->runs) {
    // A whole run a killed install left is split, not fetched again.
    if (!VendraPlatform::FileExists(run.path)) {
      if (const uint32_t written = WriteRunList(run)) {
        error = VendraText::Format(u"Could not write in the download cache %ls (system error %u)",
                                   file.rebuild->chunkFolder, written);
        return eVClientResult::FileOpenFailed;
      }
      auto hearing = Vendra::RefPtr<DownloadHearing>::Adopt(new DownloadHearing(
          notifier_, Narrow(file.file->name), file.rebuild->fetchSize, stop_, base));
      const eVClientResult code = clients_.client.DownloadFile(
          build_, RunEntry(file, run).get(), nullptr, hearing.get(), error);
      if (code != eVClientResult::Success) return code;
    }
    if (const eVClientResult code = SplitRun(run, file.file->name, error);
        code != eVClientResult::Success)
      return code;
    base += run.size;
  }
  return eVClientResult::Success;
}

void InstallPipeline::QueueIfReady(size_t index) {
  const FileWork& file = work_[index];
  if (queued_[index] || !file.place || !downloaded_[index]) return;
  if (file.rebuild &&
      !std::all_of(file.rebuild->waitsFor.begin(), file.rebuild->waitsFor.end(),
                   [&](size_t other) { return downloaded_[other]; }))
    return;
  queued_[index] = true;
  ready_.push_back(index);
}

template <typename Done>
void InstallPipeline::AwaitUnlessStopped(Done done) {
  for (;;) {
    {
      std::unique_lock<std::mutex> locked(mutex_);
      if (changed_.wait_for(locked, kStopPollInterval, [&] { return stop_ || done(); })) return;
    }
    // Asked outside the lock: the listener's calls take the notifier's.
    if (notifier_.StopRequested()) Fail(eVClientResult::Cancelled, u"");
  }
}

bool InstallPipeline::AwaitDownloads(size_t count, eVClientResult& code, std::u16string& error) {
  AwaitUnlessStopped([&] {
    return std::all_of(downloaded_.begin(), downloaded_.begin() + static_cast<long>(count),
                       [](bool d) { return d; });
  });
  return Outcome(false, code, error);
}

bool InstallPipeline::Outcome(bool unfinished, eVClientResult& code, std::u16string& error) {
  std::lock_guard<std::mutex> locked(mutex_);
  if (!stop_ && !unfinished) return true;
  code = failed_ ? code_ : eVClientResult::Cancelled;
  error = error_;
  return false;
}

void InstallPipeline::Placer() {
  for (;;) {
    if (notifier_.StopRequested()) return Fail(eVClientResult::Cancelled, u"");
    size_t index = 0;
    {
      std::unique_lock<std::mutex> locked(mutex_);
      changed_.wait(locked, [&] { return stop_ || placesLeft_ == 0 || !ready_.empty(); });
      if (stop_ || ready_.empty()) return;
      index = ready_.front();
      ready_.pop_front();
    }
    const FileWork& file = work_[index];
    uint64_t placed = 0;
    std::u16string aside;
    std::u16string error;
    const eVClientResult code = PlaceFile(file, installFolder_, placed, aside, error);
    if (!aside.empty())
      notifier_.Note("kept " + ShownName(file.file->name) + ": " + file.keptBecause + "; moved to " +
                     ShownName(file.file->name + aside.substr(file.finalPath.size())));
    if (code != eVClientResult::Success) {
      Fail(code, error);
      return;
    }
    notifier_.Installed(Narrow(file.file->name), placed);
    std::lock_guard<std::mutex> locked(mutex_);
    --placesLeft_;
    changed_.notify_all();
  }
}

bool InstallPipeline::Place(eVClientResult& code, std::u16string& error) {
  for (size_t i = 0; i < kPlacers; ++i) placers_.emplace_back([this] { Placer(); });
  AwaitUnlessStopped([&] { return placesLeft_ == 0; });
  for (auto& thread : placers_) thread.join();
  placers_.clear();
  // The placers have ended: nothing else counts the places left.
  return Outcome(placesLeft_ != 0, code, error);
}

}  // namespace VendraBuild
