#include "packagemanager/clean_command.h"

#include <cstdio>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "json/array.h"
#include "json/object.h"
#include "json/string_value.h"
#include "packagemanager/display_units.h"
#include "packagemanager/download_cache.h"

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
  o->SetStringA(u"freed", FormatBytes(sweep.freedBytes));
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

void PrintVersions(const CacheSweep& sweep) {
  for (const CleanedVersion& v : sweep.versions) {
    if (v.whole)
      std::printf("  removed %s from the download cache: no installed product needs it (%s)\n",
                  VersionName(v).c_str(), FormatBytes(v.bytes).c_str());
    else
      std::printf("  removed the downloads of %s: its install is complete (%s)\n",
                  VersionName(v).c_str(), FormatBytes(v.bytes).c_str());
  }
}

void PrintFailures(const CacheSweep& sweep) {
  for (const std::u16string& failure : sweep.failures)
    std::fprintf(stderr, "VendraBuild: could not remove %s\n",
                 VendraText::ShownOnTerminalUtf8(failure).c_str());
}

}  // namespace

int CleanCommand(bool json) {
  std::u16string downloads;
  CacheSweep sweep;
  std::u16string error;
  if (!Sweep({}, downloads, sweep, error)) {
    std::fprintf(stderr, "VendraBuild: cannot clean the download cache: %s\n",
                 VendraText::ShownOnTerminalUtf8(error).c_str());
    return 1;
  }
  if (json) {
    PrintJson(downloads, sweep);
  } else {
    std::printf("Cleaning the download cache in %s\n",
                VendraText::ShownOnTerminalUtf8(downloads).c_str());
    PrintVersions(sweep);
    std::printf("Freed %s (%llu file(s))\n", FormatBytes(sweep.freedBytes).c_str(),
                static_cast<unsigned long long>(sweep.filesRemoved));
  }
  std::fflush(stdout);
  PrintFailures(sweep);
  return sweep.failures.empty() ? 0 : 1;
}

void ForgetProductDownloads(const std::string& product) {
  std::u16string downloads;
  CacheSweep sweep;
  std::u16string error;
  if (!Sweep(product, downloads, sweep, error)) {
    std::printf("  the download cache stays as it is: %s\n",
                VendraText::ShownOnTerminalUtf8(error).c_str());
    return;
  }
  PrintVersions(sweep);
  PrintFailures(sweep);
}

}  // namespace VendraBuild
