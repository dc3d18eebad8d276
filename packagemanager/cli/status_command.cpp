#include "packagemanager/cli/status_command.h"

#include <algorithm>
#include <cstdio>

#include "common/cli/arguments.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/files.h"
#include "json/object.h"
#include "packagemanager/engine/download_cache.h"
#include "packagemanager/engine/install_record.h"
#include "packagemanager/engine/vendor_entries.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;

enum class State { Empty, Complete, Incomplete, Unknown };

struct FolderStatus {
  State state = State::Empty;
  InstallRecord record;
  InstallState recorded;
  size_t differing = 0;
  std::u16string reason;
};

const char* StateName(State state) {
  switch (state) {
    case State::Empty: return "nothing installed";
    case State::Complete: return "complete";
    case State::Incomplete: return "incomplete";
    case State::Unknown: return "unknown";
  }
  return "unknown";
}

FolderStatus Look(Clients clients, const std::u16string& folder) {
  FolderStatus status;
  if (!VendraPlatform::FileExists(VendraPlatform::JoinFileName(folder, kInstallRecordName)))
    return status;
  if (!LoadInstallRecord(folder, status.record, status.reason, &status.recorded)) {
    status.state = State::Unknown;
    return status;
  }
  std::u16string buildPath;
  clients.client.GetDataPath(
      VendraPlatform::PathAppend(VersionCachePath(status.record.product, status.record.branch,
                                                  status.record.version),
                                 kBuildCopyName),
      buildPath);
  Vendra::RefPtr<VendraJSON::VSJValue> build;
  if (!VendraJSON::LoadFile(buildPath, build.Receive(), status.reason) ||
      build->GetType() != VendraJSON::kTypeObject) {
    status.state = State::Unknown;
    status.reason = u"the build's file list is not in the data folder (" + buildPath + u")";
    return status;
  }
  Vendra::RefPtr<VendraJSON::VSJArray> differing;
  if (clients.buildClient.GetBuildFilesToInstall(static_cast<VSJObject*>(build.get()), folder,
                                                 differing.Receive(), status.reason) !=
      VendraClient::eVClientResult::Success) {
    status.state = State::Unknown;
    return status;
  }
  status.differing = differing->Count();
  // A run stopped after its last file but before it finished (leftovers of
  // the earlier version removed, the programs checked) is not complete
  // either, though every file matches.
  status.state = status.differing == 0 && status.recorded.complete ? State::Complete
                                                                    : State::Incomplete;
  return status;
}

// The repair's command line as it can be pasted at the prompt: this
// program by its own path, the key of the folder's uninstall entry (modify
// only names the product by it, so without an entry the product's key
// does), the folder from the root.
std::string RepairCommand(const std::u16string& folder, const FolderStatus& s,
                          std::u16string key) {
  VendorEntry entry;
  if (key.empty())
    key = FindVendorEntry(folder, entry) ? entry.key : VendraText::Utf8ToUtf16(s.record.product);
  using VendraPlatform::CommandPromptWord;
  return VendraText::ShownOnTerminalUtf8(
      CommandPromptWord(VendraPlatform::ModuleFileName()) + u" modify " +
      CommandPromptWord(key) + u" " +
      CommandPromptWord(VendraPlatform::AbsolutePath(folder)));
}

// One line for the folder; key names the uninstall entry when the folder
// came from one.
void PrintText(const std::u16string& folder, const FolderStatus& s,
               const std::u16string& key = u"") {
  const std::string shownFolder = VendraText::ShownOnTerminalUtf8(folder);
  const std::string where =
      key.empty() ? shownFolder : VendraText::ShownOnTerminalUtf8(key) + " in " + shownFolder;
  if (s.state == State::Empty) {
    std::printf("%s: nothing installed\n", where.c_str());
    return;
  }
  std::printf("%s: %s %s %s, %s", where.c_str(),
              VendraText::ShownOnTerminal(s.record.product).c_str(),
              VendraText::ShownOnTerminal(s.record.branch).c_str(),
              VendraText::ShownOnTerminal(s.record.version).c_str(), StateName(s.state));
  if (s.state == State::Incomplete && s.differing > 0)
    std::printf(" (%zu file(s) missing or changed; run %s to repair)", s.differing,
                RepairCommand(folder, s, key).c_str());
  else if (s.state == State::Incomplete)
    std::printf(" (the install did not finish; run %s to finish it)",
                RepairCommand(folder, s, key).c_str());
  if (s.state == State::Unknown)
    std::printf(" (%s)", VendraText::ShownOnTerminalUtf8(s.reason).c_str());
  std::printf("\n");
}

void PrintJson(const std::u16string& folder, const FolderStatus& s,
               const std::u16string& key = u"", const std::u16string& name = u"") {
  auto o = ObjectRef::Adopt(VSJObject::Create());
  if (!key.empty()) o->SetString(u"key", std::u16string_view(key));
  if (!name.empty()) o->SetString(u"name", std::u16string_view(name));
  o->SetString(u"folder", std::u16string_view(folder));
  o->SetStringA(u"state", s.state == State::Empty ? "empty" : StateName(s.state));
  if (s.state != State::Empty) {
    o->SetStringA(u"product", s.record.product);
    o->SetStringA(u"branch", s.record.branch);
    o->SetStringA(u"version", s.record.version);
    o->SetInteger(u"files", static_cast<int64_t>(s.record.files.size()));
    o->SetInteger(u"files_differing", static_cast<int64_t>(s.differing));
  }
  if (!s.reason.empty()) o->SetString(u"reason", std::u16string_view(s.reason));
  std::string text;
  o->ToStringA(text);
  std::printf("%s\n", text.c_str());
}

}  // namespace

int StatusCommand(Clients clients, const std::vector<std::u16string>& folders, bool json) {
  bool unknown = false, incomplete = false, empty = false;
  for (const std::u16string& folder : folders) {
    const FolderStatus status = Look(clients, folder);
    unknown = unknown || status.state == State::Unknown;
    incomplete = incomplete || status.state == State::Incomplete;
    empty = empty || status.state == State::Empty;
    json ? PrintJson(folder, status) : PrintText(folder, status);
  }
  std::fflush(stdout);
  return unknown ? VendraCli::kExitFailure
         : incomplete ? kExitIncomplete
         : empty      ? kExitNothingInstalled
                      : VendraCli::kExitSuccess;
}

int ListCommand(Clients clients, bool json) {
  std::vector<VendorEntry> entries;
  if (const uint32_t listed = ListVendorEntries(entries)) {
    std::fprintf(stderr, "VendraBuild: cannot list the installed programs (system error %u)\n",
                 listed);
    return 1;
  }
  int code = 0;
  for (const VendorEntry& entry : entries) {
    const FolderStatus status = Look(clients, entry.folder);
    if (status.state == State::Unknown) code = 1;
    json ? PrintJson(entry.folder, status, entry.key, entry.name)
         : PrintText(entry.folder, status, entry.key);
  }
  if (entries.empty() && !json)
    std::printf("No product of the vendor is registered on this machine.\n");
  std::fflush(stdout);
  return code;
}

}  // namespace VendraBuild
