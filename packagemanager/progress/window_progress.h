#pragma once

#include <functional>
#include <string>

#include "packagemanager/engine/install_progress.h"
#include "packagemanager/progress/progress_meter.h"
#include "ui/progress_window.h"

namespace VendraBuild {

// The texts and the bar of the progress window for a moment of an install.
VendraUi::ProgressView ProgressViewOf(const ProgressFigures& figures);

// Shows the install engine's notices in the progress window, and passes the
// window's Cancel on to the engine. Notes are left to the log: the window
// keeps to where the work is.
class WindowProgress final : public InstallProgressListener {
 public:
  // now: seconds on a steady clock (tests pass their own).
  explicit WindowProgress(VendraUi::IProgressFeed& feed, std::function<double()> now = nullptr);

  void OnProgress(const InstallProgress& progress) override;
  void OnNote(const std::string&) override {}
  bool StopRequested() override { return feed_.CancelRequested(); }

 private:
  VendraUi::IProgressFeed& feed_;
  std::function<double()> now_;
  ProgressMeter meter_;
  double lastShown_ = -1;
};

}  // namespace VendraBuild
