#include "packagemanager/progress/window_progress.h"

#include <chrono>

#include "common/text/format.h"
#include "common/text/utf.h"

namespace VendraBuild {
namespace {

// The window is fed at most this often (seconds) between steps and files.
constexpr double kFeedInterval = 0.1;

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

VendraUi::ProgressView ProgressViewOf(const ProgressFigures& f) {
  VendraUi::ProgressView view;
  std::string step = f.step;
  if (f.measured && f.filesTotal > 0)
    step += VendraText::Format(" (%u of %u files in place)", f.filesDone, f.filesTotal);
  view.step = VendraText::Utf8ToUtf16(step);
  view.file = VendraText::Utf8ToUtf16(f.file);
  view.figures = VendraText::Utf8ToUtf16(f.Amounts());
  view.permille = f.measured && f.total > 0 ? static_cast<int>(f.done * 1000 / f.total) : 0;
  if (view.permille > 1000) view.permille = 1000;
  return view;
}

WindowProgress::WindowProgress(VendraUi::IProgressFeed& feed, std::function<double()> now)
    : feed_(feed), now_(now ? std::move(now) : SteadySeconds) {}

void WindowProgress::OnProgress(const InstallProgress& progress) {
  const double now = now_();
  const ProgressMeter::Change change = meter_.Take(progress, now);
  if (!change.newGroup && !change.newFile && !change.fileDone && now - lastShown_ < kFeedInterval)
    return;
  lastShown_ = now;
  feed_.Show(ProgressViewOf(meter_.Figures()));
}

}  // namespace VendraBuild
