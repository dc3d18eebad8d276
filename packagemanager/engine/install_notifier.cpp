#include "packagemanager/engine/install_notifier.h"

namespace VendraBuild {

void InstallNotifier::SetTotals(uint64_t downloadTotal, uint64_t installTotal, uint32_t files) {
  std::lock_guard<std::mutex> locked(mutex_);
  state_.downloadTotal = downloadTotal;
  state_.installTotal = installTotal;
  state_.filesTotal = files;
}

void InstallNotifier::Phase(InstallPhase phase) {
  std::lock_guard<std::mutex> locked(mutex_);
  state_.phase = phase;
  state_.file.clear();
  state_.fileDone = state_.fileTotal = 0;
  listener_.OnProgress(state_);
}

void InstallNotifier::Downloaded(const std::string& file, uint64_t done, uint64_t total,
                                 uint64_t grown) {
  std::lock_guard<std::mutex> locked(mutex_);
  state_.downloadedBytes += grown;
  Tell(InstallPhase::Downloading, file, done, total);
}

void InstallNotifier::Installed(const std::string& file, uint64_t size) {
  std::lock_guard<std::mutex> locked(mutex_);
  state_.installedBytes += size;
  ++state_.filesDone;
  Tell(InstallPhase::Installing, file, size, size);
}

void InstallNotifier::Note(const std::string& text) {
  std::lock_guard<std::mutex> locked(mutex_);
  listener_.OnNote(text);
}

bool InstallNotifier::StopRequested() {
  std::lock_guard<std::mutex> locked(mutex_);
  return listener_.StopRequested();
}

void InstallNotifier::Tell(InstallPhase phase, const std::string& file, uint64_t done,
                           uint64_t total) {
  InstallProgress progress = state_;
  progress.phase = phase;
  progress.file = file;
  progress.fileDone = done;
  progress.fileTotal = total;
  listener_.OnProgress(progress);
}

}  // namespace VendraBuild
