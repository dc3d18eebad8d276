#pragma once

#include <string>

#include "client/iv_client.h"
#include "common/memory/ref_ptr.h"
#include "json/object.h"

namespace VendraCrashReporter {

// How long the reporter waits for the report once its window is open.
inline constexpr uint32_t kReportWaitMs = 60000;

// True for a hand-over token: 16 upper-case hexadecimal digits.
bool IsHandoverToken(std::u16string_view text);

// Opens the window named by token, waits for the report and copies it.
// False with a message when no report arrived or it is not a JSON object
// text ending with its zero byte.
bool ReceiveReport(std::u16string_view token, Vendra::RefPtr<VendraJSON::VSJObject>& report,
                   std::u16string& message);

// Posts the report with the session stored on this machine. On failure the
// report is kept as crashreports/TOKEN.json in the data folder, so that it
// is not lost; message says what happened either way.
VendraClient::eVClientResult PostReport(VendraClient::IVClient& client,
                                        VendraJSON::VSJObject& report, std::u16string_view token,
                                        std::u16string& message);

}  // namespace VendraCrashReporter
