#include "packagemanager/engine/installed_files.h"

#include "common/text/utf.h"
#include "install/build_file_entry.h"
#include "install/file_digest.h"
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

// The SHA-256 of the file's content, an empty file's too.
bool ContentDigest(const std::u16string& path, uint64_t size, std::string& digest) {
  if (size != 0) return VendraClient::GetFileDigest(path, digest);
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state);
  VendraClient::Sha256Text(state, digest);
  return true;
}

// Whether a file's stamp still vouches for the content the record saw: the
// same stamp, older than the record itself (a change in the same tick of
// the clock as the placing would keep the time).
bool StampVouches(const InstallRecord::Seen& seen, const VendraPlatform::FileStamp& now,
                  const VendraPlatform::FileStamp& record) {
  return seen.stamp == now && now.modified < record.modified;
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
      if (found != seen->end() && StampVouches(found->second, now, record)) {
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

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(VendraText::AsciiLower(static_cast<char16_t>(c)));
  return text;
}

const char* KeptBecause(Ownership ownership) {
  return ownership == Ownership::Foreign ? "not placed by an install"
                                         : "changed since it was installed";
}

FolderOwnership::FolderOwnership(const std::u16string& folder, const InstallRecord* record,
                                 bool trustStamps)
    : folder_(folder), record_(record), trustStamps_(trustStamps) {
  if (!record_) return;
  listed_.insert(record_->files.begin(), record_->files.end());
  if (VendraPlatform::GetFileStamp(VendraPlatform::JoinFileName(folder, kInstallRecordName),
                                   recordStamp_) != 0)
    trustStamps_ = false;
}

Ownership FolderOwnership::Of(const std::u16string& name, const std::string& digest) const {
  const std::u16string path = VendraPlatform::PathAppend(folder_, name);
  VendraPlatform::FileStamp now;
  if (VendraPlatform::GetFileStamp(path, now) != 0) return Ownership::Absent;
  if (listed_.count(name) == 0) return Ownership::Foreign;
  std::set<std::string> known;
  if (const auto found = record_->contents.find(name); found != record_->contents.end())
    known = found->second;
  if (const auto seen = record_->seen.find(name); seen != record_->seen.end()) {
    if (trustStamps_ && StampVouches(seen->second, now, recordStamp_)) return Ownership::Ours;
    known.insert(LowerCase(seen->second.sha256));
  }
  if (known.empty()) return record_->contents.empty() ? Ownership::Ours : Ownership::Changed;
  std::string content = LowerCase(digest);
  if (content.empty() && !ContentDigest(path, now.size, content)) return Ownership::Changed;
  return known.count(content) != 0 ? Ownership::Ours : Ownership::Changed;
}

}  // namespace VendraBuild
