#include "packagemanager/engine/install_record.h"

#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/files.h"
#include "json/object.h"
#include "json/string_value.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/paths.h"

namespace VendraBuild {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using VendraJSON::VSJValue;

namespace {

// The texts of the list name (key ids); anything else there is left out.
std::vector<std::string> KeyIds(const VSJObject* object, std::u16string_view name) {
  std::vector<std::string> ids;
  Vendra::RefPtr<VSJArray> list;
  if (!object->GetArray(name, list.Receive())) return ids;
  for (size_t i = 0; i < list->Count(); ++i) {
    Vendra::RefPtr<VSJValue> id;
    std::string text;
    if (list->At(i)->GetValue(id.Receive()) && id->GetType() == VendraJSON::kTypeString &&
        id->ToStringA(text))
      ids.push_back(std::move(text));
  }
  return ids;
}

}  // namespace

bool SaveInstallRecord(const std::u16string& installFolder, const InstallRecord& record,
                       std::u16string& error, const InstallState& state) {
  auto object = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  object->SetStringA(u"product", record.product);
  object->SetStringA(u"branch", record.branch);
  object->SetStringA(u"version", record.version);
  object->SetString(u"executable", std::u16string_view(record.executable));
  auto files = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const auto& name : record.files)
    files->AppendAdopted(VendraJSON::VSJString::Create(name));
  object->Set(u"files", files.get());
  if (!record.contents.empty()) {
    auto contents = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    for (const auto& [name, digests] : record.contents) {
      auto list = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
      for (const auto& digest : digests) list->AppendAdopted(VendraJSON::VSJString::Create(VendraText::Utf8ToUtf16(digest)));
      contents->Set(name, list.get());
    }
    object->Set(u"contents", contents.get());
  }
  object->SetInteger(u"release_counter", record.release.counter);
  const auto keyList = [&](const char16_t* name, const auto& ids) {
    if (ids.empty()) return;
    auto list = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
    for (const std::string& id : ids)
      list->AppendAdopted(VendraJSON::VSJString::Create(VendraText::Utf8ToUtf16(id)));
    object->Set(name, list.get());
  };
  keyList(u"release_keys", record.release.keys);
  keyList(u"revoked_keys", record.release.revokedKeys);
  if (state.complete && !record.seen.empty()) {
    auto seen = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    for (const auto& [name, file] : record.seen) {
      auto item = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
      item->SetInteger(u"size", static_cast<int64_t>(file.stamp.size));
      item->SetInteger(u"modified", file.stamp.modified);
      item->SetStringA(u"sha256", file.sha256);
      seen->Set(name, item.get());
    }
    object->Set(u"seen", seen.get());
  }
  object->SetStringA(u"state", state.complete ? "complete" : "incomplete");
  if (!state.complete && !state.previousVersion.empty())
    object->SetStringA(u"previous_version", state.previousVersion);
  const std::u16string path = VendraPlatform::JoinFileName(installFolder, kInstallRecordName);
  // A fresh install writes its record before any of its files.
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  int errorCode = 0;
  if (!object->SaveFile(errorCode, path)) {
    error = VendraText::Format(u"Failed to write %ls (error %d)", path, errorCode);
    return false;
  }
  return true;
}

bool ProgramName(const std::u16string& folder, const std::u16string& executable,
                 std::u16string& name, std::u16string& error) {
  std::u16string base = VendraPlatform::WithOwnSeparators(folder);
  while (!base.empty() && base.back() == VendraPlatform::kPathSeparator) base.pop_back();
  const std::u16string given = VendraPlatform::WithOwnSeparators(executable);
  name = given;
  if (!base.empty() && given.size() > base.size() && given.compare(0, base.size(), base) == 0 &&
      given[base.size()] == VendraPlatform::kPathSeparator) {
    // A folder given with a separator at its end may be joined with a second.
    const size_t start = given.find_first_not_of(VendraPlatform::kPathSeparator, base.size());
    name = start == std::u16string::npos ? std::u16string() : given.substr(start);
  }
  for (char16_t& c : name)
    if (VendraPlatform::IsPathSeparator(c)) c = u'\\';
  if (VendraPlatform::IsContainedRelativePath(name)) return true;
  error = VendraText::Format(
      u"The program to mark, %ls, is not a file inside %ls: give its name relative to the "
      u"folder",
      executable, folder);
  return false;
}

void RemoveAbandonedRecordCopies(const std::u16string& installFolder) {
  std::vector<VendraPlatform::FolderEntry> entries;
  if (VendraPlatform::ListFolder(installFolder, entries) != 0) return;
  const std::u16string prefix = std::u16string(kInstallRecordName) + u".";
  for (const auto& entry : entries) {
    if (!entry.isFolder && entry.name.size() > prefix.size() &&
        entry.name.compare(0, prefix.size(), prefix) == 0)
      VendraPlatform::DeleteFile(VendraPlatform::JoinFileName(installFolder, entry.name));
  }
}

bool LoadInstallRecord(const std::u16string& installFolder, InstallRecord& record,
                       std::u16string& error, InstallState* state) {
  const std::u16string path = VendraPlatform::JoinFileName(installFolder, kInstallRecordName);
  Vendra::RefPtr<VSJValue> value;
  // Every installed file's name and digest: tens of megabytes at most.
  constexpr size_t kRecordLimit = 64u << 20;
  if (!VendraJSON::LoadSmallFile(path, kRecordLimit, value.Receive(), error)) return false;
  if (!value || value->GetType() != VendraJSON::kTypeObject) {
    error = VendraText::Format(u"%ls does not hold an install record", path);
    return false;
  }
  const auto* object = static_cast<const VSJObject*>(value.get());
  object->GetStringA(u"product", record.product);
  object->GetStringA(u"branch", record.branch);
  object->GetStringA(u"version", record.version);
  object->GetString(u"executable", record.executable);
  record.release = ReleaseFloor();
  object->GetInteger(u"release_counter", record.release.counter);
  record.release.keys = KeyIds(object, u"release_keys");
  const std::vector<std::string> revoked = KeyIds(object, u"revoked_keys");
  record.release.revokedKeys.insert(revoked.begin(), revoked.end());
  // Records written before installs could be interrupted have no state:
  // they were written last, so they are complete.
  if (state) {
    std::string word;
    object->GetStringA(u"state", word);
    state->complete = word != "incomplete";
    state->previousVersion.clear();
    object->GetStringA(u"previous_version", state->previousVersion);
  }
  record.seen.clear();
  Vendra::RefPtr<VSJObject> seen;
  if (object->GetObject(u"seen", seen.Receive())) {
    for (size_t i = 0; i < seen->Count(); ++i) {
      Vendra::RefPtr<VSJObject> item;
      if (!seen->GetObject(seen->KeyAt(i), item.Receive())) continue;
      InstallRecord::Seen file;
      int64_t size = -1;
      if (!item->GetInteger(u"size", size) || size < 0 ||
          !item->GetInteger(u"modified", file.stamp.modified) ||
          !item->GetStringA(u"sha256", file.sha256))
        continue;
      file.stamp.size = static_cast<uint64_t>(size);
      record.seen[std::u16string(seen->KeyAt(i))] = file;
    }
  }
  record.contents.clear();
  Vendra::RefPtr<VSJObject> contents;
  if (object->GetObject(u"contents", contents.Receive())) {
    for (size_t i = 0; i < contents->Count(); ++i) {
      Vendra::RefPtr<VSJArray> list;
      if (!contents->GetArray(contents->KeyAt(i), list.Receive())) continue;
      auto& digests = record.contents[std::u16string(contents->KeyAt(i))];
      for (size_t j = 0; j < list->Count(); ++j) {
        Vendra::RefPtr<VSJValue> digest;
        std::u16string text;
        if (list->At(j)->GetValue(digest.Receive()) && digest->ToString(text))
          digests.insert(VendraText::Utf16ToUtf8(text));
      }
    }
  }
  Vendra::RefPtr<VSJArray> files;
  record.files.clear();
  if (object->GetArray(u"files", files.Receive())) {
    for (size_t i = 0; i < files->Count(); ++i) {
      Vendra::RefPtr<VSJValue> name;
      std::u16string text;
      if (files->At(i)->GetValue(name.Receive()) && name->ToString(text))
        record.files.push_back(text);
    }
  }
  return true;
}

}  // namespace VendraBuild
