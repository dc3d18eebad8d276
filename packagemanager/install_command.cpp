#include <cstdio>
#include <string>

#include "client/data_folder.h"
#include "common/text/terminal_text.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/object.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "packagemanager/commands.h"
#include "packagemanager/install_record.h"
#include "packagemanager/job_runner.h"
#include "packagemanager/program_signatures.h"
#include "packagemanager/release_gate.h"
#include "platform/executable.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;
using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;
using ArrayRef = Vendra::RefPtr<VSJArray>;

int Fail(const char* heading, eVClientResult code, const std::u16string& error) {
  std::printf("%s\nError Code %d\n%s\n", heading, VendraClient::ToInt(code),
              VendraText::ShownOnTerminalUtf8(error).c_str());
  std::fflush(stdout);
  return 1;
}

ObjectRef EntryAt(const VSJArray* list, size_t i) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  if (!list->At(i)->GetValue(value.Receive()) ||
      value->GetType() != VendraJSON::kTypeObject)
    return ObjectRef();
  return ObjectRef::Share(static_cast<VSJObject*>(value.get()));
}

std::string Text(const VSJObject* entry, std::u16string_view key) {
  std::string text;
  entry->GetStringA(key, text);
  return text;
}

}  // namespace

int InstallCommand(Clients clients, const std::string& product, const std::string& branch,
                   const std::string& version, const std::u16string& folder,
                   const std::u16string& executable, const InstallOptions& options) {
  std::printf("Installing %s %s %s into %s\n", product.c_str(), branch.c_str(), version.c_str(),
              VendraText::ShownOnTerminalUtf8(folder).c_str());
  std::u16string error;
  eVClientResult code = clients.client.EnsureLogin(error);
  if (code != eVClientResult::Success) return Fail("Sign-in failed", code, error);
  code = clients.client.EnsureDeviceAuthorized(error);
  if (code != eVClientResult::Success) return Fail("Device authorization failed", code, error);

  // The download cache is in the shared data folder: used only when no other
  // user controls it.
  std::u16string dataFolder;
  clients.client.GetDataPath(u"", dataFolder);
  std::u16string downloads;
  code = VendraClient::TrustedDataPath(
      dataFolder, VendraText::Format(u"downloads\\%hs\\%hs\\%hs", product, branch, version), downloads,
      error);
  if (code != eVClientResult::Success) return Fail("The download folder cannot be used", code, error);
  // No copy is kept until the build has passed the release checks.
  ObjectRef build;
  code = clients.client.GetBuild(product, branch, version, u"", build.Receive(), error);
  if (code != eVClientResult::Success || !build)
    return Fail("Failed to get the build", code, error);
  int64_t releaseCounter = 0;
  if (!AdmitBuild(build.get(), product, branch, version, folder, options.allowDowngrade,
                  releaseCounter, error))
    return Fail("The build was refused", eVClientResult::VerifyFailed, error);
  KeepBuildCopy(build.get(), downloads);

  ArrayRef toDownload;
  code = clients.buildClient.GetFilesToDownload(build.get(), nullptr, downloads,
                                                toDownload.Receive(), error);
  if (code != eVClientResult::Success) return Fail("Failed to list the downloads", code, error);
  std::printf("Downloading %zu file(s)\n", toDownload->Count());
  std::fflush(stdout);
  Vendra::RefPtr<VendraClient::VAsync> job;
  code = clients.client.DownloadBuildAsync(build.get(), toDownload.get(), downloads,
                                           job.Receive(), error);
  if (code == eVClientResult::Success) code = RunBuildJob(job.Detach(), toDownload.get(), error);
  if (code != eVClientResult::Success) return Fail("Failed to download", code, error);
  if (!CheckDownloadedPrograms(clients.buildClient, build.get(), downloads, error))
    return Fail("The build was refused", eVClientResult::VerifyFailed, error);

  ArrayRef toInstall;
  code = clients.buildClient.GetBuildFilesToInstall(build.get(), folder, toInstall.Receive(),
                                                    error);
  if (code != eVClientResult::Success) return Fail("Failed to list the files", code, error);
  std::printf("Installing %zu file(s)\n", toInstall->Count());
  std::fflush(stdout);
  code = clients.buildClient.InstallBuildAsync(build.get(), toInstall.get(), downloads, folder,
                                               job.Receive());
  if (code == eVClientResult::Success) code = RunBuildJob(job.Detach(), toInstall.get(), error);
  if (code != eVClientResult::Success) return Fail("Failed to install", code, error);
  for (size_t i = 0; i < toInstall->Count(); ++i) {
    if (ObjectRef entry = EntryAt(toInstall.get(), i))
      std::printf("  installed %s\n",
                  VendraText::ShownOnTerminal(Text(entry.get(), u"filename")).c_str());
  }

  // Everything installed must now match the build, byte for byte.
  code = clients.buildClient.GetBuildFilesToInstall(build.get(), folder, toInstall.Receive(),
                                                    error);
  if (code != eVClientResult::Success) return Fail("Failed to check the files", code, error);
  if (toInstall->Count() != 0)
    return Fail("Installed files do not match the build", eVClientResult::VerifyFailed,
                VendraText::Format(u"%u file(s) differ", static_cast<unsigned>(toInstall->Count())));
  if (!CheckInstalledPrograms(clients.buildClient, build.get(), folder, error))
    return Fail("The build was refused", eVClientResult::VerifyFailed, error);
  VendraPlatform::MarkExecutable(executable);

  InstallRecord record{product, branch, version, executable, {}, releaseCounter};
  ObjectRef data;
  ArrayRef files;
  if (build->GetObject(u"data", data.Receive()) && data->GetArray(u"files", files.Receive())) {
    for (size_t i = 0; i < files->Count(); ++i) {
      if (ObjectRef entry = EntryAt(files.get(), i)) {
        std::u16string name;
        entry->GetString(u"filename", name);
        record.files.push_back(name);
      }
    }
  }
  if (!SaveInstallRecord(folder, record, error))
    return Fail("Failed to record the install", eVClientResult::Failed, error);
  std::printf("Installed %s %s %s\n", product.c_str(), branch.c_str(), version.c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace VendraBuild
