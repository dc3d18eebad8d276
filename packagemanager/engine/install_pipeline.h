#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/result.h"
#include "packagemanager/engine/clients.h"
#include "packagemanager/engine/file_placement.h"
#include "packagemanager/engine/install_notifier.h"

namespace VendraBuild {

// Downloads and places the files of an install at once:
//
// - a few downloads run in flight together (each on a connection the client
//   keeps open from one file to the next), taking the files in order;
// - a few placers expand, check and place the files as their downloads end,
//   in whichever order that is, while later files download; each expands
//   block by block, in a few MiB of memory whatever the file's size;
// - the first failure, of a download or a placement, stops the downloads in
//   flight and the placers at once, and is the one reported; so does a stop
//   the listener asks for (Cancelled): no further file is placed, and a
//   download under way ends, keeping its bytes for the next run.
//
// Downloads start when it is made; nothing is placed before Place.
class InstallPipeline {
 public:
  InstallPipeline(Clients clients, VendraJSON::VSJObject* build, const std::vector<FileWork>& work,
                  const std::u16string& installFolder, InstallNotifier& notifier);
  // Stops what still runs and waits for it.
  ~InstallPipeline();
  InstallPipeline(const InstallPipeline&) = delete;
  InstallPipeline& operator=(const InstallPipeline&) = delete;

  // Waits until the first count files are downloaded; false with the
  // failure when they will not be.
  bool AwaitDownloads(size_t count, VendraClient::eVClientResult& code, std::u16string& error);
  // Places every file to place as its download ends; false with the first
  // failure (and everything stopped) when one fails.
  bool Place(VendraClient::eVClientResult& code, std::u16string& error);

 private:
  void Download();
  // Fetches the runs of chunks a file to rebuild lacks and keeps their
  // chunks in the cache.
  VendraClient::eVClientResult FetchRuns(const FileWork& file, std::u16string& error);
  // Queues the file for placing once it is downloaded and so are the files
  // whose runs fetch chunks it takes; the lock is held.
  void QueueIfReady(size_t index);
  void Placer();
  // Records the first failure and stops everything; later ones are
  // consequences of the stop.
  void Fail(VendraClient::eVClientResult code, const std::u16string& error);
  // True when nothing stopped the work and none is left unfinished; else
  // false with the first failure, or Cancelled.
  bool Outcome(bool unfinished, VendraClient::eVClientResult& code, std::u16string& error);
  // Waits for done, asking the listener now and then whether to stop.
  template <typename Done>
  void AwaitUnlessStopped(Done done);

  Clients clients_;
  VendraJSON::VSJObject* build_;
  const std::vector<FileWork>& work_;
  const std::u16string installFolder_;
  InstallNotifier& notifier_;

  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextDownload_ = 0;
  std::vector<bool> downloaded_;
  std::vector<bool> queued_;  // gone to ready_ once
  // For each file, the files to rebuild that wait for its runs.
  std::vector<std::vector<size_t>> waiters_;
  std::deque<size_t> ready_;  // downloaded, to place, not yet taken
  size_t placesLeft_ = 0;
  std::atomic<bool> stop_{false};
  bool failed_ = false;
  VendraClient::eVClientResult code_ = VendraClient::eVClientResult::Success;
  std::u16string error_;
  std::vector<std::thread> downloads_;
  std::vector<std::thread> placers_;
};

}  // namespace VendraBuild
