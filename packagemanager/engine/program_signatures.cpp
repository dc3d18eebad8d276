#include "packagemanager/engine/program_signatures.h"

#include "common/text/format.h"
#include "install/iv_build_client.h"
#include "platform/files.h"

namespace VendraBuild {
namespace {

using VendraClient::BuildFile;
using VendraClient::eVClientResult;

constexpr char16_t kDetachedSuffix[] = u".p7s";
constexpr char16_t kCheckSuffix[] = u".signature-check";

std::u16string Refusal(const BuildFile& program, const std::u16string& reason) {
  return VendraText::Format(u"The code signature of %s was refused: %s", program.name, reason);
}

// Expands one file's ".z" in the download folder to target.
bool Expand(VendraClient::IVBuildClient& buildClient, const BuildFile& file,
            const std::u16string& downloadFolder, const std::u16string& target,
            std::u16string& error) {
  int32_t size = 0;
  return buildClient.InflateFile(file.PathIn(downloadFolder, u".z"),
                                 static_cast<uint32_t>(file.size), target, size,
                                 error) == eVClientResult::Success;
}

}  // namespace

std::u16string DetachedSignatureName(const BuildFile& program) {
  return program.name + kDetachedSuffix;
}

bool CheckDownloadedPrograms(VendraClient::IVBuildClient& buildClient,
                             const VendraClient::BuildFileList& files,
                             const std::u16string& downloadFolder, std::u16string& error) {
  for (const BuildFile& program : files) {
    if (!program.isSigned) continue;
    // The copy under check sits beside the program's download with its
    // detached signature next to it, as VerifySignature looks for it.
    std::u16string reason;
    const std::u16string path = program.PathIn(downloadFolder, kCheckSuffix);
    bool passed = Expand(buildClient, program, downloadFolder, path, reason);
    const std::u16string signaturePath = path + kDetachedSuffix;
    const std::u16string detached = DetachedSignatureName(program);
    for (const BuildFile& other : files) {
      if (passed && other.name == detached)
        passed = Expand(buildClient, other, downloadFolder, signaturePath, reason);
    }
    if (passed) passed = buildClient.VerifySignature(path, reason) == eVClientResult::Success;
    VendraPlatform::DeleteFile(path);
    VendraPlatform::DeleteFile(signaturePath);
    if (!passed) {
      error = Refusal(program, reason);
      return false;
    }
  }
  return true;
}

bool CheckInstalledPrograms(VendraClient::IVBuildClient& buildClient,
                            const VendraClient::BuildFileList& files,
                            const std::u16string& folder, std::u16string& error) {
  bool passed = true;
  for (const BuildFile& program : files) {
    if (!program.isSigned) continue;
    std::u16string reason;
    const std::u16string path = program.PathIn(folder);
    if (buildClient.VerifySignature(path, reason) == eVClientResult::Success) continue;
    // A program whose signature fails must not stay where it could be started.
    VendraPlatform::DeleteFile(path);
    if (passed) error = Refusal(program, reason);
    passed = false;
  }
  return passed;
}

}  // namespace VendraBuild
