#include "packagemanager/progress_renderer.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "packagemanager/display_units.h"
#include "platform/paths.h"

namespace VendraBuild {
namespace {

// The rate is measured over this many seconds of samples.
constexpr double kRateWindow = 5.0;
// Redraws and JSON progress objects at most this often (seconds), so a fast
// engine does not spend its time on output.
constexpr double kRedrawInterval = 0.1;

const char* PhaseName(InstallPhase phase) {
  switch (phase) {
    case InstallPhase::Fetching: return "fetching";
    case InstallPhase::Downloading: return "downloading";
    case InstallPhase::Installing: return "installing";
    case InstallPhase::Recording: return "recording";
    case InstallPhase::Checking: return "checking";
  }
  return "working";
}

// The build's names use backslashes; people read them with the system's own
// separator.
std::string ShownName(const std::string& name) {
  return VendraText::ShownOnTerminalUtf8(
      VendraPlatform::WithOwnSeparators(VendraText::Utf8ToUtf16(name)));
}

// Downloads and installs run side by side (a file is placed while the next
// one downloads): they share one line, measured by the download while it
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

const char* StepText(InstallPhase phase) {
  switch (phase) {
    case InstallPhase::Fetching: return "Fetching the build";
    case InstallPhase::Checking: return "Checking the files in place";
    case InstallPhase::Recording: return "Recording the install";
    default: return "";
  }
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Cuts text to columns code points, keeping its end (a file name's end is
// what tells files apart).
std::string FitLine(const std::string& text, int columns) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  if (columns < 4 || starts.size() <= static_cast<size_t>(columns)) return text;
  return "..." + text.substr(starts[starts.size() - static_cast<size_t>(columns) + 3]);
}

}  // namespace

ProgressStyle ChooseProgressStyle(bool json, bool quiet, bool outputIsTerminal) {
  if (json) return ProgressStyle::Json;
  if (quiet) return ProgressStyle::Quiet;
  return outputIsTerminal ? ProgressStyle::Terminal : ProgressStyle::Lines;
}

ProgressRenderer::ProgressRenderer(ProgressStyle style, std::FILE* out, int columns,
                                   std::function<double()> now)
    : style_(style), out_(out), columns_(columns), now_(now ? std::move(now) : SteadySeconds) {
  started_ = now_();
}

void ProgressRenderer::WriteLine(const std::string& line) {
  EndLine();
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ProgressRenderer::EndLine() {
  if (!lineOpen_) return;
  std::fputc('\n', out_);
  lineOpen_ = false;
}

double ProgressRenderer::Rate() const {
  if (samples_.size() < 2) return 0;
  const double seconds = samples_.back().time - samples_.front().time;
  if (seconds <= 0) return 0;
  return static_cast<double>(samples_.back().bytes - samples_.front().bytes) / seconds;
}

void ProgressRenderer::OnProgress(const InstallProgress& p) {
  const double now = now_();
  const bool newGroup = !havePhase_ || (p.phase != phase_ && !(Transferring(p.phase) &&
                                                               Transferring(phase_)));
  const bool newFile = p.file != file_;
  const bool measureChanged = havePhase_ && MeasuresDownload(p) != MeasuresDownload(last_);
  uint64_t done = 0;
  uint64_t total = 0;
  PhaseBytes(p, done, total);
  if (newGroup || measureChanged) samples_.clear();
  if (!samples_.empty() && done < samples_.back().bytes) samples_.clear();
  samples_.push_back({now, done});
  while (samples_.size() > 2 && now - samples_[1].time >= kRateWindow) samples_.pop_front();

  const bool fileDone = !p.file.empty() && p.fileTotal > 0 && p.fileDone >= p.fileTotal &&
                        !(last_.file == p.file && last_.fileDone >= last_.fileTotal &&
                          last_.phase == p.phase);
  switch (style_) {
    case ProgressStyle::Terminal:
      if (newGroup) EndLine();
      DrawTerminal(p, newGroup || newFile || fileDone || now - lastDraw_ >= kRedrawInterval);
      break;
    case ProgressStyle::Lines:
      // The engine's notes say how many files each step takes and which
      // downloads ended; a line per placed file adds where each one went.
      if (fileDone && p.phase == InstallPhase::Installing)
        WriteLine(VendraText::Format("  installed %s (%s)", ShownName(p.file),
                                     FormatBytes(p.fileTotal)));
      break;
    case ProgressStyle::Quiet:
      break;
    case ProgressStyle::Json:
      if (newGroup || newFile || fileDone || now - lastDraw_ >= kRedrawInterval) {
        lastDraw_ = now;
        WriteJson(p);
      }
      break;
  }
  havePhase_ = true;
  phase_ = p.phase;
  file_ = p.file;
  last_ = p;
}

void ProgressRenderer::DrawTerminal(const InstallProgress& p, bool force) {
  if (!force) return;
  lastDraw_ = now_();
  uint64_t done = 0;
  uint64_t total = 0;
  PhaseBytes(p, done, total);
  std::string line;
  if (!Transferring(p.phase)) {
    line = StepText(p.phase);
  } else {
    line = MeasuresDownload(p) ? "Downloading" : "Installing";
    if (total > 0) {
      const double rate = Rate();
      const unsigned percent =
          static_cast<unsigned>(std::min<uint64_t>(100, done * 100 / total));
      line += VendraText::Format(" %3u%%  %s of %s  %s", percent, FormatBytes(done),
                                 FormatBytes(total), FormatRate(rate));
      if (rate > 0 && done < total)
        line += "  " + FormatDuration(static_cast<double>(total - done) / rate) + " left";
    }
    if (p.filesTotal > 0) line += VendraText::Format("  %u/%u placed", p.filesDone, p.filesTotal);
    if (!p.file.empty()) line += "  " + ShownName(p.file);
  }
  // "\x1b[K" clears what a longer line drawn before left on the right.
  std::fprintf(out_, "\r%s\x1b[K", FitLine(line, columns_ - 1).c_str());
  std::fflush(out_);
  lineOpen_ = true;
}

void ProgressRenderer::WriteJson(const InstallProgress& p) {
  auto event = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  event->SetStringA(u"event", "progress");
  event->SetStringA(u"phase", PhaseName(p.phase));
  // The build's own name, so that scripts see the same text on every system.
  if (!p.file.empty()) event->SetStringA(u"file", p.file);
  event->SetInteger(u"file_done", static_cast<int64_t>(p.fileDone));
  event->SetInteger(u"file_total", static_cast<int64_t>(p.fileTotal));
  event->SetInteger(u"downloaded_bytes", static_cast<int64_t>(p.downloadedBytes));
  event->SetInteger(u"download_total", static_cast<int64_t>(p.downloadTotal));
  event->SetInteger(u"installed_bytes", static_cast<int64_t>(p.installedBytes));
  event->SetInteger(u"install_total", static_cast<int64_t>(p.installTotal));
  event->SetInteger(u"files_done", p.filesDone);
  event->SetInteger(u"files_total", p.filesTotal);
  event->SetInteger(u"bytes_per_second", static_cast<int64_t>(Rate()));
  std::string text;
  event->ToStringA(text);
  WriteLine(text);
}

void ProgressRenderer::OnNote(const std::string& text) {
  if (style_ == ProgressStyle::Json) {
    auto event = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    event->SetStringA(u"event", "note");
    event->SetStringA(u"text", text);
    std::string json;
    event->ToStringA(json);
    WriteLine(json);
    return;
  }
  WriteLine(VendraText::ShownOnTerminal(text));
}

void ProgressRenderer::Step(const std::string& text) {
  if (style_ == ProgressStyle::Json) {
    auto event = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    event->SetStringA(u"event", "step");
    event->SetStringA(u"text", text);
    std::string json;
    event->ToStringA(json);
    WriteLine(json);
    return;
  }
  WriteLine(VendraText::ShownOnTerminal(text));
}

void ProgressRenderer::Finish(bool succeeded) {
  const double seconds = now_() - started_;
  const double rate = seconds > 0 ? static_cast<double>(last_.downloadedBytes) / seconds : 0;
  if (style_ == ProgressStyle::Json) {
    auto event = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    event->SetStringA(u"event", "summary");
    event->SetStringA(u"result", succeeded ? "succeeded" : "failed");
    event->SetInteger(u"files", last_.filesDone);
    event->SetInteger(u"downloaded_bytes", static_cast<int64_t>(last_.downloadedBytes));
    event->SetInteger(u"installed_bytes", static_cast<int64_t>(last_.installedBytes));
    event->SetInteger(u"milliseconds", static_cast<int64_t>(seconds * 1000));
    std::string json;
    event->ToStringA(json);
    WriteLine(json);
    return;
  }
  WriteLine(VendraText::Format("%s: %u file(s), %s downloaded, %s installed in %s (%s)",
                               succeeded ? "Done" : "Stopped", last_.filesDone,
                               FormatBytes(last_.downloadedBytes),
                               FormatBytes(last_.installedBytes), FormatDuration(seconds),
                               FormatRate(rate)));
}

}  // namespace VendraBuild
