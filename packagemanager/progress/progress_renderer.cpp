#include "packagemanager/progress/progress_renderer.h"

#include <chrono>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "json/object.h"
#include "common/text/display_units.h"
#include "packagemanager/engine/shown_name.h"

namespace VendraBuild {
namespace {

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
  if (style_ == ProgressStyle::Terminal && lineOpen_) {
    // The note takes the progress line's place and the line is drawn again
    // below it: the progress stays one line however many notes come.
    std::fprintf(out_, "\r\x1b[K%s\n", line.c_str());
    DrawTerminal();
    return;
  }
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ProgressRenderer::EndLine() {
  if (!lineOpen_) return;
  std::fputc('\n', out_);
  lineOpen_ = false;
}

void ProgressRenderer::OnProgress(const InstallProgress& p) {
  const double now = now_();
  const ProgressMeter::Change change = meter_.Take(p, now);
  const bool due = change.newGroup || change.newFile || change.fileDone ||
                   now - lastDraw_ >= kRedrawInterval;
  switch (style_) {
    case ProgressStyle::Terminal:
      if (change.newGroup) EndLine();
      if (due) DrawTerminal();
      break;
    case ProgressStyle::Lines:
      // The engine's notes say how many files each step takes and which
      // downloads ended; a line per placed file adds where each one went.
      if (change.fileDone && p.phase == InstallPhase::Installing)
        WriteLine(VendraText::Format("  installed %s (%s)", meter_.Figures().file,
                                     VendraText::FormatBytes(p.fileTotal)));
      break;
    case ProgressStyle::Quiet:
      break;
    case ProgressStyle::Json:
      if (due) {
        lastDraw_ = now;
        WriteJson(p);
      }
      break;
  }
  last_ = p;
}

void ProgressRenderer::DrawTerminal() {
  lastDraw_ = now_();
  const ProgressFigures f = meter_.Figures();
  std::string line = f.step;
  if (f.measured) {
    if (const std::string amounts = f.Amounts(3); !amounts.empty()) line += " " + amounts;
    if (f.filesTotal > 0) line += VendraText::Format("  %u/%u placed", f.filesDone, f.filesTotal);
    if (!f.file.empty()) line += "  " + f.file;
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
  if (!p.file.empty()) event->SetStringA(u"file", ShownName(p.file));
  event->SetInteger(u"file_done", static_cast<int64_t>(p.fileDone));
  event->SetInteger(u"file_total", static_cast<int64_t>(p.fileTotal));
  event->SetInteger(u"downloaded_bytes", static_cast<int64_t>(p.downloadedBytes));
  event->SetInteger(u"download_total", static_cast<int64_t>(p.downloadTotal));
  event->SetInteger(u"installed_bytes", static_cast<int64_t>(p.installedBytes));
  event->SetInteger(u"install_total", static_cast<int64_t>(p.installTotal));
  event->SetInteger(u"files_done", p.filesDone);
  event->SetInteger(u"files_total", p.filesTotal);
  event->SetInteger(u"bytes_per_second", static_cast<int64_t>(meter_.Figures().rate));
  std::string text;
  event->ToStringA(text);
  WriteLine(text);
}

void ProgressRenderer::WriteTextEvent(const char* event, const std::string& text) {
  auto object = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  object->SetStringA(u"event", event);
  object->SetStringA(u"text", text);
  std::string json;
  object->ToStringA(json);
  WriteLine(json);
}

void ProgressRenderer::OnNote(const std::string& text) {
  if (style_ == ProgressStyle::Json) return WriteTextEvent("note", text);
  WriteLine(VendraText::ShownOnTerminal(text));
}

bool ProgressRenderer::StopRequested() {
  if (!stopRequested_ || !stopRequested_()) return false;
  if (!stopSaid_) {
    stopSaid_ = true;
    OnNote("Stopping after the file at hand, so that every file stays whole (Ctrl-C again ends "
           "at once)...");
  }
  return true;
}

void ProgressRenderer::Step(const std::string& text) {
  if (style_ == ProgressStyle::Json) return WriteTextEvent("step", text);
  WriteLine(VendraText::ShownOnTerminal(text));
}

void ProgressRenderer::Finish(bool succeeded, const RunFailure& failure) {
  const double seconds = now_() - started_;
  const double rate = seconds > 0 ? static_cast<double>(last_.downloadedBytes) / seconds : 0;
  if (style_ == ProgressStyle::Json) {
    auto event = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    event->SetStringA(u"event", "summary");
    event->SetStringA(u"result", succeeded ? "succeeded" : "failed");
    if (failure.Failed()) {
      event->SetInteger(u"code", failure.code);
      event->SetStringA(u"error", failure.Text());
    }
    event->SetInteger(u"files", last_.filesDone);
    event->SetInteger(u"downloaded_bytes", static_cast<int64_t>(last_.downloadedBytes));
    event->SetInteger(u"installed_bytes", static_cast<int64_t>(last_.installedBytes));
    event->SetInteger(u"milliseconds", static_cast<int64_t>(seconds * 1000));
    std::string json;
    event->ToStringA(json);
    WriteLine(json);
    return;
  }
  // What follows (the summary, a reason on standard error) starts on a
  // line of its own.
  EndLine();
  WriteLine(VendraText::Format("%s: %u file(s), %s downloaded, %s installed in %s (%s)",
                               succeeded ? "Done" : "Stopped", last_.filesDone,
                               VendraText::FormatBytes(last_.downloadedBytes),
                               VendraText::FormatBytes(last_.installedBytes), VendraText::FormatDuration(seconds),
                               VendraText::FormatRate(rate)));
}

}  // namespace VendraBuild
