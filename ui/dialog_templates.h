#pragma once

#include "ui/dialog_template.h"

namespace VendraUi {

const DialogTemplate& LoginTemplate();
const DialogTemplate& DeviceAuthorizationTemplate();
const DialogTemplate& CrashReportTemplate();

// Every template, in resource-number order (what the resource script holds).
std::span<const DialogTemplate* const> AllTemplates();

}  // namespace VendraUi
