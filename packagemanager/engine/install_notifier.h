#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "packagemanager/engine/install_progress.h"

namespace VendraBuild {

// Passes the install engine's notices on one at a time, whichever thread
// they come from, with the running totals of the install.
class InstallNotifier {
 public:
  explicit InstallNotifier(InstallProgressListener& listener) : listener_(listener) {}
  InstallNotifier(const InstallNotifier&) = delete;
  InstallNotifier& operator=(const InstallNotifier&) = delete;

  void SetTotals(uint64_t downloadTotal, uint64_t installTotal, uint32_t files);
  void Phase(InstallPhase phase);
  // A download's bytes so far; grown is how many arrived since the last.
  void Downloaded(const std::string& file, uint64_t done, uint64_t total, uint64_t grown);
  void Installed(const std::string& file, uint64_t size);
  void Note(const std::string& text);
  // Whether the listener wants the install to stop.
  bool StopRequested();

 private:
  void Tell(InstallPhase phase, const std::string& file, uint64_t done, uint64_t total);

  std::mutex mutex_;
  InstallProgressListener& listener_;
  InstallProgress state_;
};

}  // namespace VendraBuild
