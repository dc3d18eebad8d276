#include "packagemanager/progress/activity_log.h"

#include <chrono>
#include <cstdio>

#include "client/transfer.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "packagemanager/engine/shown_name.h"

namespace VendraBuild {

namespace {

std::string UtcStamp() {
  using namespace std::chrono;
  const auto now = floor<milliseconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss<milliseconds> time(now - day);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

const char* PhaseName(InstallPhase phase) {
  switch (phase) {
    case InstallPhase::Fetching: return "fetching the build";
    case InstallPhase::Downloading: return "downloading";
    case InstallPhase::Installing: return "installing";
    case InstallPhase::Recording: return "recording the install";
    case InstallPhase::Checking: return "checking what is in place";
  }
  return "working";
}

// curl's code for a transfer its own progress callback ended: the run is
// being cancelled, which the run's failure says once.
constexpr int kCurlStoppedByUs = 42;

void LogRequest(void* context, std::string_view path, int curlCode, uint32_t httpStatus) {
  if (curlCode == kCurlStoppedByUs) return;
  std::string line = "request " + std::string(path) + ": ";
  line += curlCode != 0 ? "curl error " + std::to_string(curlCode)
                        : "HTTP " + std::to_string(httpStatus);
  static_cast<ActivityLog*>(context)->Line(line);
}

}  // namespace

uint32_t ActivityLog::OpenBounded() {
  if (const uint32_t error = file_.OpenForAppending(path_)) return error;
  size_ = 0;
  if (file_.Size(size_) != 0 || size_ < kLogLimit) return 0;
  // The file opened is no link (opening refused one), and renaming moves the
  // name itself: nothing outside the log's folder is touched.
  file_.Close();
  if (const uint32_t error = VendraPlatform::MoveFileReplacing(path_, path_ + u".1")) return error;
  size_ = 0;
  return file_.OpenForAppending(path_);
}

bool ActivityLog::Open(const std::u16string& path, std::u16string& problem) {
  path_ = path;
  if (const uint32_t error = OpenBounded()) {
    problem = VendraText::Format(u"cannot open the log %ls (system error %u)", path.c_str(), error);
    return false;
  }
  return true;
}

void ActivityLog::Line(std::string_view text) {
  std::string line = UtcStamp();
  line += ' ';
  line += VendraText::ShownOnTerminal(text);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  line += '\n';
  const std::lock_guard<std::mutex> hold(mutex_);
  if (size_ >= kLogLimit && file_.IsOpen()) OpenBounded();
  if (!file_.IsOpen()) return;
  // A log that cannot be written must not stop the install: the line is lost.
  if (file_.Write(line.data(), line.size()) == 0) size_ += line.size();
}

void ActivityLog::ObserveRequests() { VendraClient::ObserveRequests(&LogRequest, this); }

void LoggingListener::OnProgress(const InstallProgress& progress) {
  if (!started_ || progress.phase != phase_) {
    started_ = true;
    phase_ = progress.phase;
    log_.Line(PhaseName(phase_));
  }
  // The engine tells of a file in the installing phase once it is in place.
  if (progress.phase == InstallPhase::Installing && !progress.file.empty() &&
      progress.file != placed_) {
    placed_ = progress.file;
    log_.Line("placed " + ShownName(progress.file));
  }
  shown_.OnProgress(progress);
}

void LoggingListener::OnNote(const std::string& text) {
  log_.Line(text);
  shown_.OnNote(text);
}

}  // namespace VendraBuild
