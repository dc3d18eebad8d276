#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "packagemanager/engine/install_progress.h"
#include "packagemanager/progress/progress_meter.h"
#include "packagemanager/progress/run_report.h"

namespace VendraBuild {

// How a command's progress reaches its reader.
enum class ProgressStyle {
  Terminal,  // one line per phase, redrawn in place; a summary at the end
  Lines,     // plain lines for a pipe or a log: a line per file, no carriage returns
  Quiet,     // only the command's steps, notes and summary
  Json,      // one JSON object per line and event
};

// Picks the style: --json, else --quiet, else a terminal when standard output
// is one, else plain lines.
ProgressStyle ChooseProgressStyle(bool json, bool quiet, bool outputIsTerminal);

// Shows the install engine's notices. Rate and time left come from the bytes
// of the last few seconds, so a download that slows down or speeds up shows
// its present pace. Names are shown with the system's own separator (JSON
// included) and, on a terminal, with control characters made harmless. On a
// terminal, notes and steps print above the progress line, which is drawn
// again below them.
class ProgressRenderer final : public InstallProgressListener {
 public:
  // now: seconds on a steady clock (tests pass their own).
  ProgressRenderer(ProgressStyle style, std::FILE* out, int columns = 80,
                   std::function<double()> now = nullptr);

  void OnProgress(const InstallProgress& progress) override;
  void OnNote(const std::string& text) override;
  // Asks requested whether the person at the console wants the work to
  // stop (Ctrl-C); says once that it stops after the file at hand.
  bool StopRequested() override;
  void WatchForStop(std::function<bool()> requested) { stopRequested_ = std::move(requested); }
  // A headline of the command ("Installing tdy live 1.0 into /opt/tdy").
  void Step(const std::string& text);
  // Ends the current phase's line and prints the summary: files, bytes, time
  // and rate of the whole run; in JSON also the failure's code and text.
  void Finish(bool succeeded, const RunFailure& failure = {});

 private:
  void EndLine();
  void DrawTerminal();
  void WriteJson(const InstallProgress& p);
  // One JSON object of the event with a text ("note", "step").
  void WriteTextEvent(const char* event, const std::string& text);
  void WriteLine(const std::string& line);

  ProgressStyle style_;
  std::FILE* out_;
  int columns_;
  std::function<double()> now_;
  double started_ = 0;
  double lastDraw_ = -1;
  bool lineOpen_ = false;
  ProgressMeter meter_;
  InstallProgress last_;
  std::function<bool()> stopRequested_;
  bool stopSaid_ = false;
};

}  // namespace VendraBuild
