#pragma once

#include <string>

#include "client/result.h"
#include "packagemanager/progress/activity_log.h"

namespace VendraBuild {

// Why a run failed. Kept once, where the command finds it, and read as it is
// by every place that tells it: standard error, the log, the JSON summary
// and the window.
struct RunFailure {
  int code = 0;          // the client's result code
  std::string heading;   // what failed ("The build was refused")
  std::string reason;    // why, as the client or the command said it (UTF-8)

  bool Failed() const { return code != 0 || !heading.empty(); }
  // The one line every reader gets: heading and reason.
  std::string Text() const;
};

// What a command tells as it runs: its lines on standard output and in the
// log, and its failure.
class RunReport {
 public:
  explicit RunReport(ActivityLog& log) : log_(log) {}
  RunReport(const RunReport&) = delete;
  RunReport& operator=(const RunReport&) = delete;

  // A line of what the command did, on standard output and in the log.
  void Say(const std::string& line);
  // Keeps the failure (the first one stands: later ones follow from it) and
  // answers the exit code: 3 for a cancel, else exitCode.
  int Fail(VendraClient::eVClientResult code, const std::string& heading,
           const std::u16string& reason, int exitCode = 1);
  const RunFailure& Failure() const { return failure_; }
  ActivityLog& Log() { return log_; }
  // Ends the run: the failure on standard error and in the log, then the
  // exit code in the log. Answers exitCode.
  int Finish(int exitCode);

 private:
  ActivityLog& log_;
  RunFailure failure_;
};

}  // namespace VendraBuild
