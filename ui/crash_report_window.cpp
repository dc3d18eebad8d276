#include "ui/crash_report_window.h"

#include "common/memory/wipe.h"
#include "common/text/format.h"
#include "ui/control_text.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_templates.h"

namespace VendraUi {
namespace {

using VendraClient::eVClientResult;
namespace Ids = CrashIds;

constexpr char16_t kDeclined[] = u"User clicked Cancel in Crash Report window";
constexpr char16_t kCreateFailure[] = u"Failed to create Vendra Crash window: GetLastError=%d";
// The failure text is at most what fits a 128-unit buffer with its
// terminator.
constexpr size_t kCreateFailureMax = 127;

}  // namespace

CrashWindowState& CrashReportWindowState() {
  static CrashWindowState* const state = new CrashWindowState;
  return *state;
}

bool CrashReportDialog::OnInit(IDialogHost& host) {
  std::u16string text;
  if (state_.report && state_.report->Has(u"report") && state_.report->GetString(u"report", text))
    host.SetText(Ids::kReport, text);
  host.PlaceOnTop(kWindowX, kWindowY);
  host.Focus(Ids::kNotes);
  return true;
}

void CrashReportDialog::OnCommand(IDialogHost& host, int id) {
  switch (id) {
    case kIdOk: {
      std::u16string notes = ReadControlText(host, Ids::kNotes);
      if (!notes.empty() && state_.report) state_.report->SetString(u"user_notes", notes);
      Vendra::WipeText(notes);
      state_.result = eVClientResult::Success;
      state_.report.Reset();
      host.End(kEndOk);
      break;
    }
    case kIdCancel:
      state_.result = eVClientResult::Cancelled;
      state_.error = kDeclined;
      state_.report.Reset();
      host.End(kEndCancel);
      break;
    default:
      break;
  }
}

eVClientResult ShowCrashReportWindow(IDialogBackend& backend, void* module,
                                     CrashWindowState& state, VendraJSON::VSJObject* report,
                                     std::u16string& error) {
  state.report = Vendra::RefPtr<VendraJSON::VSJObject>::Share(report);
  CrashReportDialog logic(state);
  uint32_t lastError = 0;
  const bool shown = backend.Run(CrashReportTemplate(), logic, module, lastError);
  // The record holds the report only while the window is open, also when
  // it ended in a way the buttons did not see.
  state.report.Reset();
  if (!shown) {
    error = VendraText::Format(kCreateFailure, static_cast<int32_t>(lastError))
                .substr(0, kCreateFailureMax);
    return eVClientResult::Failed;
  }
  if (&error != &state.error) error = state.error;
  return state.result;
}

}  // namespace VendraUi
