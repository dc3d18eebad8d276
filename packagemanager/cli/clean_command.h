#pragma once

#include <string>

#include "packagemanager/progress/run_report.h"

namespace VendraBuild {

// Removes from the download cache what no installed product needs (see
// SweepDownloads) and says what it freed: as text, or one JSON object with
// json. Answers 0, or 1 when something could not be removed or the
// installed products could not be listed (then nothing is removed), with the
// reason kept in report.
int CleanCommand(bool json, RunReport& report);

// After product's uninstall: its downloads that no installed folder still
// needs go, and the lines say which. A cache that cannot be cleaned only
// costs a note: the uninstall itself is done.
void ForgetProductDownloads(const std::string& product, RunReport& report);

}  // namespace VendraBuild
