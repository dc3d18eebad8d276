#pragma once

#include "ui/dialog_template.h"

namespace VendraUi {

const DialogTemplate& LoginTemplate();
const DialogTemplate& DeviceAuthorizationTemplate();
const DialogTemplate& CrashReportTemplate();
// The package manager's progress: the step, the file, a bar, the amounts and
// Cancel. Its caption is set by whoever shows it.
const DialogTemplate& ProgressTemplate();

// Every template, in resource-number order (what the resource script holds).
std::span<const DialogTemplate* const> AllTemplates();

}  // namespace VendraUi
