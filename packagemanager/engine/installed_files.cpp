#include "packagemanager/engine/installed_files.h"

#include "common/text/utf.h"
#include "install/file_digest.h"
#include "install/sha256.h"
#include "platform/paths.h"

namespace VendraBuild {

namespace {

// The SHA-256 of the file's content, an empty file's too.
bool ContentDigest(const std::u16string& path, uint64_t size, std::string& digest) {
  if (size != 0) return VendraClient::GetFileDigest(path, digest);
  digest = VendraClient::Sha256Hex(nullptr, 0);
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

std::map<std::u16string, std::string> FilesToPlace(
    const VendraClient::BuildFileList& files, const std::u16string& folder,
    const std::map<std::u16string, InstallRecord::Seen>* seen, Stamps& before) {
  std::map<std::u16string, std::string> placing;
  VendraPlatform::FileStamp record;
  if (seen &&
      VendraPlatform::GetFileStamp(VendraPlatform::JoinFileName(folder, kInstallRecordName),
                                   record) != 0)
    seen = nullptr;
  for (const VendraClient::BuildFile& file : files) {
    const std::u16string path = file.PathIn(folder);
    VendraPlatform::FileStamp now;
    const bool present = VendraPlatform::GetFileStamp(path, now) == 0;
    if (present) before[file.name] = now;
    if (present && seen) {
      const auto found = seen->find(file.name);
      if (found != seen->end() && StampVouches(found->second, now, record)) {
        if (now.size != file.size ||
            !VendraText::EqualsIgnoreAsciiCase(found->second.sha256, file.sha256))
          placing[file.name];
        continue;
      }
    }
    uint32_t sizeCache = 0;
    std::string digest;
    if (VendraClient::VerifyFile(path, static_cast<uint32_t>(file.size), sizeCache, file.sha256,
                                 digest) != VendraClient::kVerifyFileMatches)
      placing[file.name] = digest;
  }
  return placing;
}

std::map<std::u16string, InstallRecord::Seen> SeenAfterInstall(
    const VendraClient::BuildFileList& files, const std::u16string& folder,
    const std::set<std::u16string>& placed, const Stamps& before) {
  std::map<std::u16string, InstallRecord::Seen> seen;
  for (const VendraClient::BuildFile& file : files) {
    VendraPlatform::FileStamp now;
    if (VendraPlatform::GetFileStamp(file.PathIn(folder), now) != 0) continue;
    if (placed.count(file.name) == 0) {
      // Changed since it was found current: its content is not known.
      const auto found = before.find(file.name);
      if (found == before.end() || !(found->second == now)) continue;
    }
    seen[file.name] = {now, file.sha256};
  }
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
