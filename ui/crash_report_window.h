#pragma once

#include <string>

#include "client/result.h"
#include "common/memory/ref_ptr.h"
#include "json/object.h"
#include "ui/dialog_host.h"

namespace VendraUi {

// The Crash Report window's record: the report being shown (held only while
// the window is open), the outcome and its text. A new record starts with
// the job state 2 and no text.
struct CrashWindowState {
  Vendra::RefPtr<VendraJSON::VSJObject> report;  // while the window is open
  VendraClient::eVClientResult result = VendraClient::eVClientResult::Running;  // the outcome
  std::u16string error;  // the outcome's text
};

// The process-wide record, made on first use and never freed.
CrashWindowState& CrashReportWindowState();

// Shows the report's text and lets the user add notes ("Report Error") or
// decline ("Heck No!", Escape, the close box).
class CrashReportDialog final : public IDialogLogic {
 public:
  // The dialog over state, which outlives it.
  explicit CrashReportDialog(CrashWindowState& state) : state_(state) {}

  bool OnInit(IDialogHost& host) override;
  void OnCommand(IDialogHost& host, int id) override;

 private:
  CrashWindowState& state_;
};

// Shows the Crash Report window modally for report from the module that
// holds the dialog resources. Answers 0 when the user chose to report (the
// notes, if any, are in the report's "user_notes"), -5 when declined, or -1
// when no window could be made.
VendraClient::eVClientResult ShowCrashReportWindow(IDialogBackend& backend, void* module,
                                                   CrashWindowState& state,
                                                   VendraJSON::VSJObject* report,
                                                   std::u16string& error);

}  // namespace VendraUi
