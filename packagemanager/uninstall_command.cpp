#include <cstdio>
#include <string>

#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "packagemanager/clean_command.h"
#include "packagemanager/commands.h"
#include "packagemanager/file_placement.h"
#include "packagemanager/install_record.h"
#include "packagemanager/installed_files.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace VendraBuild {
namespace {

// The values an uninstall entry holds; the key is left empty without them.
constexpr const char16_t* kEntryValues[] = {
    u"Comments",        u"Contact",      u"DisplayIcon",   u"DisplayName",
    u"DisplayVersion",  u"EstimatedSize", u"HelpLink",     u"HelpTelephone",
    u"InstallDate",     u"InstallLocation", u"InstallSource", u"Language",
    u"ModifyPath",      u"NoModify",     u"NoRepair",      u"ProductID",
    u"Publisher",       u"Readme",       u"QuietUninstallString", u"UninstallString",
    u"URLInfoAbout",    u"URLUpdateInfo", u"Version",      u"VersionMajor",
    u"VersionMinor"};

// A folder as text that two spellings of it share: the system's separator,
// no trailing separator.
std::u16string FolderKey(std::u16string_view folder) {
  std::u16string key = VendraPlatform::WithOwnSeparators(folder);
  while (key.size() > 1 && key.back() == VendraPlatform::kPathSeparator) key.pop_back();
  return key;
}

// Removes the values of the entry key, but only when the entry names folder
// as its install location: the same key may describe the product installed
// in another folder, which this uninstall must leave registered.
void RemoveUninstallEntry(const std::u16string& key, const std::u16string& folder) {
  const std::u16string path = VendraClient::UninstallKeyPath(key);
  std::u16string location;
  {
    VendraPlatform::RegistryKey reading;
    if (reading.OpenForReading(path, VendraPlatform::RegistryView::Default32) != 0) return;
    reading.QueryString(u"InstallLocation", location);
  }
  if (FolderKey(location) != FolderKey(folder)) {
    std::printf("  the uninstall entry %s belongs to %s and stays\n",
                VendraText::ShownOnTerminalUtf8(key).c_str(),
                VendraText::ShownOnTerminalUtf8(location).c_str());
    return;
  }
  VendraPlatform::RegistryKey entry;
  if (entry.CreateForWriting(path, VendraPlatform::RegistryView::Default32) != 0) return;
  for (const char16_t* name : kEntryValues) entry.DeleteValue(name);
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

int UninstallCommand(const std::u16string& key, const std::u16string& folder) {
  std::printf("Uninstalling %s from %s\n", VendraText::ShownOnTerminalUtf8(key).c_str(),
              VendraText::ShownOnTerminalUtf8(folder).c_str());
  InstallRecord record;
  std::u16string error;
  if (!VendraPlatform::FileExists(VendraPlatform::JoinFileName(folder, kInstallRecordName))) {
    std::printf("Nothing is installed in %s\n", VendraText::ShownOnTerminalUtf8(folder).c_str());
    return 0;
  }
  if (!LoadInstallRecord(folder, record, error)) {
    std::fprintf(stderr, "VendraBuild: cannot read what is installed in %s: %s\n",
                 VendraText::ShownOnTerminalUtf8(folder).c_str(),
                 VendraText::ShownOnTerminalUtf8(error).c_str());
    return 1;
  }
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
      std::printf("  kept %s: %s\n", VendraText::ShownOnTerminalUtf8(name).c_str(),
                  KeptBecause(owner));
      continue;
    }
    const uint32_t removed = VendraPlatform::DeleteFileInside(folder, path);
    if (removed == VendraPlatform::kOutsideFolder) {
      // A folder of the product replaced by a link: what lies behind it is
      // not the product's, whatever its names.
      std::printf("  left %s alone: its folder leads outside %s\n",
                  VendraText::ShownOnTerminalUtf8(name).c_str(),
                  VendraText::ShownOnTerminalUtf8(folder).c_str());
      continue;
    }
    if (removed != 0 && VendraPlatform::FileExists(path)) {
      std::printf("  could not remove %s (error %u)\n",
                  VendraText::ShownOnTerminalUtf8(name).c_str(), removed);
      ++failures;
      continue;
    }
    std::printf("  removed %s\n", VendraText::ShownOnTerminalUtf8(name).c_str());
    RemoveEmptiedFolders(folder, name);
  }
  if (failures > 0) {
    std::fprintf(stderr,
                 "VendraBuild: %d file(s) could not be removed; the product stays registered. "
                 "Close the programs using them and run the uninstall again.\n",
                 failures);
    return 1;
  }
  VendraPlatform::DeleteFile(VendraPlatform::JoinFileName(folder, kInstallRecordName));
  RemoveUninstallEntry(key, folder);
  ForgetProductDownloads(record.product);
  std::printf("Uninstalled %s\n", VendraText::ShownOnTerminalUtf8(key).c_str());
  return 0;
}

int ModifyCommand(Clients clients, const std::u16string& key, const std::u16string& folder,
                  InstallProgressListener& listener, const InstallOptions& options) {
  std::printf("Repairing %s in %s\n", VendraText::ShownOnTerminalUtf8(key).c_str(),
              VendraText::ShownOnTerminalUtf8(folder).c_str());
  InstallRecord record;
  std::u16string error;
  std::u16string program;
  // The record lies in a folder others may be able to write to: the program
  // it names is taken only from inside the folder.
  if (!LoadInstallRecord(folder, record, error) ||
      !ProgramName(folder, record.executable, program, error)) {
    // On standard error like every failure, and for the window where nobody
    // reads it.
    if (options.failureText) *options.failureText = u"Nothing to repair\n\n" + error;
    std::fprintf(stderr, "Nothing to repair: %s\n", VendraText::ShownOnTerminalUtf8(error).c_str());
    return 1;
  }
  // A repair does not trust what the record saw: it reads every file.
  InstallOptions repair = options;
  repair.checkEveryFile = true;
  return InstallCommand(clients, record.product, record.branch, record.version, folder, program,
                        listener, repair);
}

}  // namespace VendraBuild
