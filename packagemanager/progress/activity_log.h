#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "packagemanager/engine/install_progress.h"
#include "platform/files.h"

namespace VendraBuild {

// The run's log for administrators: one line per step, note and request,
// each with its UTC time. What is written never holds a form value, a
// password or a token: requests are logged by their path only. The log stays
// bounded: past kLogLimit bytes it becomes "<name>.1" (replacing the older
// one) and a new file starts.
class ActivityLog {
 public:
  static constexpr uint64_t kLogLimit = 1024 * 1024;

  // Appends to path (made when missing; a link in its place is refused).
  // False with the reason when it cannot be opened.
  bool Open(const std::u16string& path, std::u16string& problem);
  bool IsOpen() const { return file_.IsOpen(); }
  // Thread-safe: the engine's threads log their downloads' requests. Control
  // characters (a line end in a reason from the service) are made harmless,
  // so that every entry stays one line.
  void Line(std::string_view text);
  // Sends every request of the client library to this log.
  void ObserveRequests();

 private:
  // Opens path for appending; moves a full log aside first.
  uint32_t OpenBounded();

  std::mutex mutex_;
  std::u16string path_;
  uint64_t size_ = 0;
  VendraPlatform::File file_;
};

// Passes everything on to the listener that shows it and logs the notes,
// each change of phase and each file placed.
class LoggingListener : public InstallProgressListener {
 public:
  LoggingListener(InstallProgressListener& shown, ActivityLog& log) : shown_(shown), log_(log) {}
  void OnProgress(const InstallProgress& progress) override;
  void OnNote(const std::string& text) override;
  bool StopRequested() override { return shown_.StopRequested(); }

 private:
  InstallProgressListener& shown_;
  ActivityLog& log_;
  bool started_ = false;
  InstallPhase phase_ = InstallPhase::Fetching;
  std::string placed_;  // the last file logged as placed
};

}  // namespace VendraBuild
