#include <string>

#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "packagemanager/cli/clean_command.h"
#include "packagemanager/cli/commands.h"
#include "packagemanager/engine/file_placement.h"
#include "packagemanager/engine/install_record.h"
#include "packagemanager/engine/installed_files.h"
#include "packagemanager/engine/shown_name.h"
#include "packagemanager/engine/vendor_entries.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;

// Removes the values of the entry key, but only when the entry names folder
// as its install location: the same key may describe the product installed
// in another folder, which this uninstall must leave registered.
void RemoveUninstallEntry(const std::u16string& key, const std::u16string& folder,
                          RunReport& report) {
  const std::u16string path = VendraClient::UninstallKeyPath(key);
  std::u16string location;
  {
    VendraPlatform::RegistryKey reading;
    if (reading.OpenForReading(path, VendraPlatform::RegistryView::Default32) != 0) return;
    reading.QueryString(u"InstallLocation", location);
  }
  if (!SameFolder(location, folder)) {
    report.Say("  the uninstall entry " + VendraText::Utf16ToUtf8(key) + " belongs to " + ShownName(location) +
               " and stays");
    return;
  }
  VendraClient::ClearUninstallEntry(key);
}

// Removes the folders below folder that name's removal left empty, deepest
// first; a folder that still holds anything stays.
void RemoveEmptiedFolders(const std::u16string& folder, std::u16string_view name) {
  for (std::u16string_view parent = VendraPlatform::FolderOf(name); !parent.empty();
       parent = VendraPlatform::FolderOf(parent)) {
    if (VendraPlatform::RemoveEmptyFolder(VendraPlatform::PathAppend(folder, parent)) != 0)
      return;
  }
}

}  // namespace

int UninstallCommand(const std::u16string& key, const std::u16string& folder, RunReport& report) {
  report.Say("Uninstalling " + VendraText::Utf16ToUtf8(key) + " from " + ShownName(folder));
  InstallRecord record;
  std::u16string error;
  if (!VendraPlatform::FileExists(VendraPlatform::JoinFileName(folder, kInstallRecordName))) {
    report.Say("Nothing is installed in " + ShownName(folder));
    return 0;
  }
  if (!LoadInstallRecord(folder, record, error))
    return report.Fail(eVClientResult::Failed,
                       "Cannot read what is installed in " + ShownName(folder), error);
  // New files of a run killed while it placed them are the product's too.
  RemoveUnplacedFiles(folder, record.files);
  int failures = 0;
  // Stamps vouch for a file as they do for an install; the rest is read.
  const FolderOwnership ownership(folder, &record, true);
  for (const auto& name : record.files) {
    // Only what lies below the folder is ours to remove.
    if (!VendraPlatform::IsContainedRelativePath(name)) continue;
    const std::u16string path = VendraPlatform::PathAppend(folder, name);
    const Ownership owner = ownership.Of(name);
    if (owner == Ownership::Changed || owner == Ownership::Foreign) {
      report.Say("  kept " + ShownName(name) + ": " + KeptBecause(owner));
      continue;
    }
    const uint32_t removed = VendraPlatform::DeleteFileInside(folder, path);
    if (removed == VendraPlatform::kOutsideFolder) {
      // A folder of the product replaced by a link: what lies behind it is
      // not the product's, whatever its names.
      report.Say("  left " + ShownName(name) + " alone: its folder leads outside " +
                 ShownName(folder));
      continue;
    }
    if (removed != 0 && VendraPlatform::FileExists(path)) {
      report.Say("  could not remove " + ShownName(name) + " (error " + std::to_string(removed) +
                 ")");
      ++failures;
      continue;
    }
    report.Say("  removed " + ShownName(name));
    RemoveEmptiedFolders(folder, name);
  }
  if (failures > 0)
    return report.Fail(eVClientResult::Failed, "Uninstall incomplete",
                       VendraText::Utf8ToUtf16(
                           std::to_string(failures) +
                           " file(s) could not be removed; the product stays registered. Close "
                           "the programs using them and run the uninstall again."));
  VendraPlatform::DeleteFile(VendraPlatform::JoinFileName(folder, kInstallRecordName));
  RemoveUninstallEntry(key, folder, report);
  ForgetProductDownloads(record.product, report);
  report.Say("Uninstalled " + VendraText::Utf16ToUtf8(key) + " from " + ShownName(folder));
  return 0;
}

int ModifyCommand(Clients clients, const std::u16string& key, const std::u16string& folder,
                  InstallProgressListener& listener, RunReport& report,
                  const InstallOptions& options) {
  report.Say("Repairing " + VendraText::Utf16ToUtf8(key) + " in " + ShownName(folder));
  InstallRecord record;
  std::u16string error;
  std::u16string program;
  // The record lies in a folder others may be able to write to: the program
  // it names is taken only from inside the folder.
  if (!LoadInstallRecord(folder, record, error) ||
      !ProgramName(folder, record.executable, program, error))
    return report.Fail(eVClientResult::Failed, "Nothing to repair", error);
  // A repair does not trust what the record saw: it reads every file.
  InstallOptions repair = options;
  repair.checkEveryFile = true;
  return InstallCommand(clients, record.product, record.branch, record.version, folder, program,
                        listener, report, repair);
}

}  // namespace VendraBuild
