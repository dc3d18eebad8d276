#include "packagemanager/install_record.h"

#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
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
  object->SetInteger(u"release_counter", record.releaseCounter);
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
  record.releaseCounter = 0;
  object->GetInteger(u"release_counter", record.releaseCounter);
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
