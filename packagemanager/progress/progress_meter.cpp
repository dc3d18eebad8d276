#include "packagemanager/progress/progress_meter.h"

#include <algorithm>

#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "common/text/display_units.h"
#include "packagemanager/engine/shown_name.h"

namespace VendraBuild {
namespace {

// The rate is measured over this many seconds of samples.
constexpr double kRateWindow = 5.0;

// Downloads and installs run side by side (a file is placed while the next
// one downloads): they are one step, measured by the download while it
// lasts and then by the bytes placed.
bool Transferring(InstallPhase phase) {
  return phase == InstallPhase::Downloading || phase == InstallPhase::Installing;
}

bool MeasuresDownload(const InstallProgress& p) {
  return p.downloadTotal > 0 && p.downloadedBytes < p.downloadTotal;
}

void PhaseBytes(const InstallProgress& p, uint64_t& done, uint64_t& total) {
  done = total = 0;
  if (!Transferring(p.phase)) return;
  if (MeasuresDownload(p)) {
    done = p.downloadedBytes;
    total = p.downloadTotal;
  } else {
    done = p.installedBytes;
    total = p.installTotal;
  }
}

const char* StepText(const InstallProgress& p) {
  switch (p.phase) {
    case InstallPhase::Fetching: return "Fetching the build";
    case InstallPhase::Checking: return "Checking the files in place";
    case InstallPhase::Recording: return "Recording the install";
    case InstallPhase::Downloading:
    case InstallPhase::Installing: break;
  }
  return MeasuresDownload(p) ? "Downloading" : "Installing";
}

}  // namespace

unsigned ProgressFigures::Percent() const {
  if (total == 0) return 0;
  return static_cast<unsigned>(std::min<uint64_t>(100, done * 100 / total));
}

std::string ProgressFigures::Amounts(int percentWidth) const {
  if (!measured || total == 0) return std::string();
  std::string text = VendraText::Format("%*u%%  %s of %s  %s", percentWidth, Percent(),
                                        VendraText::FormatBytes(done), VendraText::FormatBytes(total), VendraText::FormatRate(rate));
  if (rate > 0 && done < total)
    text += "  " + VendraText::FormatDuration(static_cast<double>(total - done) / rate) + " left";
  return text;
}

ProgressMeter::Change ProgressMeter::Take(const InstallProgress& p, double now) {
  Change change;
  change.newGroup = !havePhase_ || (p.phase != last_.phase &&
                                    !(Transferring(p.phase) && Transferring(last_.phase)));
  change.newFile = !havePhase_ || p.file != last_.file;
  change.fileDone = !p.file.empty() && p.fileTotal > 0 && p.fileDone >= p.fileTotal &&
                    !(last_.file == p.file && last_.fileDone >= last_.fileTotal &&
                      last_.phase == p.phase);
  const bool measureChanged = havePhase_ && MeasuresDownload(p) != MeasuresDownload(last_);
  uint64_t done = 0;
  uint64_t total = 0;
  PhaseBytes(p, done, total);
  if (change.newGroup || measureChanged) samples_.clear();
  if (!samples_.empty() && done < samples_.back().bytes) samples_.clear();
  samples_.push_back({now, done});
  while (samples_.size() > 2 && now - samples_[1].time >= kRateWindow) samples_.pop_front();
  havePhase_ = true;
  last_ = p;
  return change;
}

double ProgressMeter::Rate() const {
  if (samples_.size() < 2) return 0;
  const double seconds = samples_.back().time - samples_.front().time;
  if (seconds <= 0) return 0;
  return static_cast<double>(samples_.back().bytes - samples_.front().bytes) / seconds;
}

ProgressFigures ProgressMeter::Figures() const {
  ProgressFigures f;
  f.step = StepText(last_);
  f.measured = Transferring(last_.phase);
  PhaseBytes(last_, f.done, f.total);
  f.rate = Rate();
  f.filesDone = last_.filesDone;
  f.filesTotal = last_.filesTotal;
  if (f.measured && !last_.file.empty()) f.file = VendraText::ShownOnTerminal(ShownName(last_.file));
  return f;
}

}  // namespace VendraBuild
