#include "packagemanager/cli/clean_command.h"

#include <cstdio>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/object.h"
#include "json/string_value.h"
#include "common/text/display_units.h"
#include "packagemanager/engine/download_cache.h"
#include "packagemanager/engine/shown_name.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;

// The installed products' needs and the sweep of downloads; false, with
// the reason, when what is needed cannot be known.
bool Sweep(std::string_view product, std::u16string& downloads, CacheSweep& sweep,
           std::u16string& error) {
  if (DownloadsFolder(downloads, error) != VendraClient::eVClientResult::Success) return false;
  std::vector<CacheNeed> needs;
  if (const uint32_t err = InstalledNeeds(needs)) {
    error = VendraText::Format(
        u"cannot list the installed programs (system error %u); nothing was removed", err);
    return false;
  }
  SweepDownloads(downloads, needs, product, sweep);
  return true;
}

std::string VersionName(const CleanedVersion& v) {
  return VendraText::ShownOnTerminal(v.product + " " + v.branch + " " + v.version);
}

void PrintJson(const std::u16string& downloads, const CacheSweep& sweep) {
  auto o = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  o->SetString(u"folder", std::u16string_view(downloads));
  o->SetInteger(u"freed_bytes", static_cast<int64_t>(sweep.freedBytes));
  o->SetStringA(u"freed", VendraText::FormatBytes(sweep.freedBytes));
  o->SetInteger(u"files_removed", static_cast<int64_t>(sweep.filesRemoved));
  auto versions = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const CleanedVersion& v : sweep.versions) {
    auto item = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    item->SetStringA(u"product", v.product);
    item->SetStringA(u"branch", v.branch);
    item->SetStringA(u"version", v.version);
    item->SetStringA(u"removed", v.whole ? "all" : "downloads");
    item->SetInteger(u"bytes", static_cast<int64_t>(v.bytes));
    versions->Append(item.get());
  }
  o->Set(u"versions", versions.get());
  auto failures = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const std::u16string& failure : sweep.failures)
    failures->AppendAdopted(VendraJSON::VSJString::Create(failure));
  o->Set(u"failures", failures.get());
  std::string text;
  o->ToStringA(text);
  std::printf("%s\n", text.c_str());
}

void PrintVersions(const CacheSweep& sweep, RunReport& report) {
  for (const CleanedVersion& v : sweep.versions) {
    if (v.whole)
      report.Say("  removed " + VersionName(v) +
                 " from the download cache: no installed product needs it (" +
                 VendraText::FormatBytes(v.bytes) + ")");
    else
      report.Say("  removed the downloads of " + VersionName(v) + ": its install is complete (" +
                 VendraText::FormatBytes(v.bytes) + ")");
  }
}

// Each file that stays is named (JSON lists them in its object); the run's
// failure says how many.
int PrintFailures(const CacheSweep& sweep, bool json, RunReport& report) {
  if (sweep.failures.empty()) return 0;
  for (const std::u16string& failure : sweep.failures) {
    const std::string line = "  could not remove " + ShownName(failure);
    if (json)
      report.Log().Line(line);
    else
      report.Say(line);
  }
  return report.Fail(VendraClient::eVClientResult::Failed, "The download cache is not clean",
                     VendraText::Format(u"%zu file(s) could not be removed",
                                        sweep.failures.size()));
}

}  // namespace

int CleanCommand(bool json, RunReport& report) {
  std::u16string downloads;
  CacheSweep sweep;
  std::u16string error;
  if (!Sweep({}, downloads, sweep, error))
    return report.Fail(VendraClient::eVClientResult::Failed, "Cannot clean the download cache",
                       error);
  const std::string freed = VendraText::Format(
      "Freed %s (%llu file(s))", VendraText::FormatBytes(sweep.freedBytes).c_str(),
      static_cast<unsigned long long>(sweep.filesRemoved));
  if (json) {
    PrintJson(downloads, sweep);
    std::fflush(stdout);
    report.Log().Line(freed);
  } else {
    report.Say("Cleaning the download cache in " + ShownName(downloads));
    PrintVersions(sweep, report);
    report.Say(freed);
  }
  return PrintFailures(sweep, json, report);
}

void ForgetProductDownloads(const std::string& product, RunReport& report) {
  std::u16string downloads;
  CacheSweep sweep;
  std::u16string error;
  if (!Sweep(product, downloads, sweep, error)) {
    report.Say("  the download cache stays as it is: " + VendraText::Utf16ToUtf8(error));
    return;
  }
  PrintVersions(sweep, report);
  for (const std::u16string& failure : sweep.failures)
    report.Say("  could not remove " + ShownName(failure));
}

}  // namespace VendraBuild
