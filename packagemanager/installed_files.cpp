#include "packagemanager/installed_files.h"

#include "common/text/utf.h"
#include "install/build_file_entry.h"
#include "json/object.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "platform/paths.h"

namespace VendraBuild {

namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;

// Each object entry of files with its name and installed path.
template <typename Visit>
bool ForEachFile(const VSJArray* files, const std::u16string& folder, std::u16string& error,
                 Visit&& visit) {
  for (size_t i = 0; i < files->Count(); ++i) {
    const Vendra::RefPtr<VSJObject> entry = VendraClient::EntryAt(files, i);
    if (!entry) continue;
    std::u16string path;
    if (!VendraClient::EntryPath(entry.get(), folder, u"", path, error)) return false;
    visit(entry.get(), VendraClient::EntryText(entry.get(), u"filename"), path);
  }
  return true;
}

}  // namespace

Vendra::RefPtr<VSJArray> EntriesToCheck(const VSJArray* files, const std::u16string& folder,
                                        const std::map<std::u16string, InstallRecord::Seen>* seen,
                                        Stamps& before, Vendra::RefPtr<VSJArray>& stale,
                                        std::u16string& error) {
  auto toCheck = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  stale = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  VendraPlatform::FileStamp record;
  if (seen &&
      VendraPlatform::GetFileStamp(VendraPlatform::JoinFileName(folder, kInstallRecordName),
                                   record) != 0)
    seen = nullptr;
  const bool complete = ForEachFile(files, folder, error, [&](VSJObject* entry,
                                                              const std::u16string& name,
                                                              const std::u16string& path) {
    VendraPlatform::FileStamp now;
    const bool present = VendraPlatform::GetFileStamp(path, now) == 0;
    if (present) before[name] = now;
    if (present && seen) {
      const auto found = seen->find(name);
      if (found != seen->end() && found->second.stamp == now &&
          now.modified < record.modified) {
        if (now.size == VendraClient::EntrySize(entry, u"size") &&
            VendraText::EqualsIgnoreAsciiCase(found->second.sha256,
                                              VendraClient::EntryTextA(entry, u"sha256")))
          return;
        VendraJSON::VSJValue* copy = nullptr;
        entry->Clone(&copy);
        auto placed = Vendra::RefPtr<VSJObject>::Adopt(static_cast<VSJObject*>(copy));
        placed->SetString(u"local_filename", path);
        stale->Append(placed.get());
        return;
      }
    }
    toCheck->Append(entry);
  });
  if (!complete) return Vendra::RefPtr<VSJArray>();
  return toCheck;
}

std::map<std::u16string, InstallRecord::Seen> SeenAfterInstall(
    const VSJArray* files, const std::u16string& folder, const std::set<std::u16string>& placed,
    const Stamps& before) {
  std::map<std::u16string, InstallRecord::Seen> seen;
  std::u16string ignored;
  ForEachFile(files, folder, ignored, [&](VSJObject* entry, const std::u16string& name,
                                          const std::u16string& path) {
    VendraPlatform::FileStamp now;
    if (VendraPlatform::GetFileStamp(path, now) != 0) return;
    if (placed.count(name) == 0) {
      // Changed since it was found current: its content is not known.
      const auto found = before.find(name);
      if (found == before.end() || !(found->second == now)) return;
    }
    seen[name] = {now, VendraClient::EntryTextA(entry, u"sha256")};
  });
  return seen;
}

}  // namespace VendraBuild
