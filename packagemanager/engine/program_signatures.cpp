#include "packagemanager/engine/program_signatures.h"

#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "install/build_file_entry.h"
#include "install/iv_build_client.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"
#include "platform/files.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;

constexpr char16_t kDetachedSuffix[] = u".p7s";
constexpr char16_t kCheckSuffix[] = u".signature-check";

std::vector<ObjectRef> FileEntries(const VSJObject* build) {
  std::vector<ObjectRef> entries;
  ObjectRef data;
  Vendra::RefPtr<VendraJSON::VSJArray> files;
  if (!build->GetObject(u"data", data.Receive()) || !data->GetArray(u"files", files.Receive()))
    return entries;
  for (size_t i = 0; i < files->Count(); ++i) {
    if (ObjectRef entry = VendraClient::EntryAt(files.get(), i)) entries.push_back(entry);
  }
  return entries;
}

std::u16string Refusal(const VSJObject* program, const std::u16string& reason) {
  return VendraText::Format(u"The code signature of %s was refused: %s",
                            VendraClient::EntryText(program, u"filename"), reason);
}

// Expands one entry's ".z" in the download folder to target.
bool Expand(VendraClient::IVBuildClient& buildClient, const VSJObject* entry,
            const std::u16string& downloadFolder, const std::u16string& target,
            std::u16string& error) {
  std::u16string source;
  if (!VendraClient::EntryPath(entry, downloadFolder, u".z", source, error)) return false;
  int32_t size = 0;
  return buildClient.InflateFile(source, VendraClient::EntrySize(entry, u"size"), target, size,
                                 error) == eVClientResult::Success;
}

}  // namespace

bool IsMarkedSigned(const VSJObject* entry) {
  Vendra::RefPtr<VendraJSON::VSJValue> flag;
  return entry->Get(u"signed", flag.Receive()) && flag->GetType() == VendraJSON::kTypeTrue;
}

std::u16string DetachedSignatureName(const VSJObject* program) {
  return VendraClient::EntryText(program, u"filename") + kDetachedSuffix;
}

bool CheckDownloadedPrograms(VendraClient::IVBuildClient& buildClient, const VSJObject* build,
                             const std::u16string& downloadFolder, std::u16string& error) {
  const std::vector<ObjectRef> entries = FileEntries(build);
  for (const ObjectRef& program : entries) {
    if (!IsMarkedSigned(program.get())) continue;
    // The copy under check sits beside the program's download with its
    // detached signature next to it, as VerifySignature looks for it.
    std::u16string path, reason;
    bool passed =
        VendraClient::EntryPath(program.get(), downloadFolder, kCheckSuffix, path, reason) &&
        Expand(buildClient, program.get(), downloadFolder, path, reason);
    const std::u16string signaturePath = path + kDetachedSuffix;
    const std::u16string detached = DetachedSignatureName(program.get());
    for (const ObjectRef& other : entries) {
      if (passed && VendraClient::EntryText(other.get(), u"filename") == detached)
        passed = Expand(buildClient, other.get(), downloadFolder, signaturePath, reason);
    }
    if (passed) passed = buildClient.VerifySignature(path, reason) == eVClientResult::Success;
    if (!path.empty()) {
      VendraPlatform::DeleteFile(path);
      VendraPlatform::DeleteFile(signaturePath);
    }
    if (!passed) {
      error = Refusal(program.get(), reason);
      return false;
    }
  }
  return true;
}

bool CheckInstalledPrograms(VendraClient::IVBuildClient& buildClient, const VSJObject* build,
                            const std::u16string& folder, std::u16string& error) {
  bool passed = true;
  for (const ObjectRef& program : FileEntries(build)) {
    if (!IsMarkedSigned(program.get())) continue;
    std::u16string path, reason;
    if (VendraClient::EntryPath(program.get(), folder, u"", path, reason) &&
        buildClient.VerifySignature(path, reason) == eVClientResult::Success)
      continue;
    // A program whose signature fails must not stay where it could be started.
    if (!path.empty()) VendraPlatform::DeleteFile(path);
    if (passed) error = Refusal(program.get(), reason);
    passed = false;
  }
  return passed;
}

}  // namespace VendraBuild
