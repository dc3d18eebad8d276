#include <cstdio>
#include <string>

#include "common/text/terminal_text.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "packagemanager/commands.h"
#include "packagemanager/install_record.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace VendraBuild {
namespace {

constexpr char16_t kUninstallKeyFormat[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%ls";

// The values an uninstall entry holds; the key is left empty without them.
constexpr const char16_t* kEntryValues[] = {
    u"Comments",        u"Contact",      u"DisplayIcon",   u"DisplayName",
    u"DisplayVersion",  u"EstimatedSize", u"HelpLink",     u"HelpTelephone",
    u"InstallDate",     u"InstallLocation", u"InstallSource", u"Language",
    u"ModifyPath",      u"NoModify",     u"NoRepair",      u"ProductID",
    u"Publisher",       u"Readme",       u"QuietUninstallString", u"UninstallString",
    u"URLInfoAbout",    u"URLUpdateInfo", u"Version",      u"VersionMajor",
    u"VersionMinor"};

void RemoveUninstallEntry(const std::u16string& key) {
  VendraPlatform::RegistryKey entry;
  if (entry.CreateForWriting(VendraText::Format(kUninstallKeyFormat, key),
                             VendraPlatform::RegistryView::Default32) != 0)
    return;
  for (const char16_t* name : kEntryValues) entry.DeleteValue(name);
}

}  // namespace

int UninstallCommand(const std::u16string& key, const std::u16string& folder) {
  std::printf("Uninstalling %s from %s\n", VendraText::ShownOnTerminalUtf8(key).c_str(),
              VendraText::ShownOnTerminalUtf8(folder).c_str());
  InstallRecord record;
  std::u16string error;
  if (!LoadInstallRecord(folder, record, error)) {
    std::printf("Nothing to uninstall: %s\n", VendraText::ShownOnTerminalUtf8(error).c_str());
    return 1;
  }
  int failures = 0;
  for (const auto& name : record.files) {
    // Only what lies below the folder is ours to remove.
    if (!VendraPlatform::IsContainedRelativePath(name)) continue;
    const std::u16string path = VendraPlatform::PathAppend(folder, name);
    const uint32_t removed = VendraPlatform::DeleteFile(path);
    if (removed != 0 && VendraPlatform::FileExists(path)) {
      std::printf("  could not remove %s (error %u)\n",
                  VendraText::ShownOnTerminalUtf8(name).c_str(), removed);
      ++failures;
      continue;
    }
    std::printf("  removed %s\n", VendraText::ShownOnTerminalUtf8(name).c_str());
  }
  if (failures > 0) {
    std::printf("%d file(s) could not be removed; the product stays registered\n", failures);
    return 1;
  }
  VendraPlatform::DeleteFile(VendraPlatform::JoinFileName(folder, kInstallRecordName));
  RemoveUninstallEntry(key);
  std::printf("Uninstalled %s\n", VendraText::ShownOnTerminalUtf8(key).c_str());
  return 0;
}

int ModifyCommand(Clients clients, const std::u16string& key, const std::u16string& folder) {
  std::printf("Repairing %s in %s\n", VendraText::ShownOnTerminalUtf8(key).c_str(),
              VendraText::ShownOnTerminalUtf8(folder).c_str());
  InstallRecord record;
  std::u16string error;
  if (!LoadInstallRecord(folder, record, error)) {
    std::printf("Nothing to repair: %s\n", VendraText::ShownOnTerminalUtf8(error).c_str());
    return 1;
  }
  return InstallCommand(clients, record.product, record.branch, record.version, folder,
                        record.executable);
}

}  // namespace VendraBuild
