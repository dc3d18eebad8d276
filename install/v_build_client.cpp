#include "install/v_build_client.h"

#include "async/v_async_install_build.h"
#include "install/codec.h"
#include "install/signature_verification.h"

namespace VendraClient {
VBuildClient::VBuildClient() = default;
VBuildClient::~VBuildClient() = default;

bool VBuildClient::GetDataPath(const std::u16string& relative, std::u16string& path) {
  path = dataFolder_.Path(relative);
  return true;
}

eVClientResult VBuildClient::InflateFile(const std::u16string& compressedPath,
                                         uint32_t expectedSize, const std::u16string& outputPath,
                                         int32_t& outputSize, std::u16string& error) {
  return VendraClient::InflateFile(compressedPath, expectedSize, outputPath, outputSize, error);
}

eVClientResult VBuildClient::InflateBuffer(VBuffer* input, uint32_t expectedSize,
                                           VBuffer** output, std::u16string& error) {
  return VendraClient::InflateBuffer(input, expectedSize, output, error);
}

eVClientResult VBuildClient::DeflateFile(int32_t level, const std::u16string& inputPath,
                                         int32_t& inputSize, const std::u16string& outputPath,
                                         int32_t& compressedSize, std::u16string& error) {
  return VendraClient::DeflateFile(level, inputPath, inputSize, outputPath, compressedSize,
                                   error);
}

eVClientResult VBuildClient::DeflateBuffer(int32_t level, VBuffer* input, VBuffer** output,
                                           std::u16string& error) {
  return VendraClient::DeflateBuffer(level, input, output, error);
}

eVClientResult VBuildClient::VerifySignature(const std::u16string& path, std::u16string& error) {
  return VendraClient::VerifySignature(path, error);
}

eVClientResult VBuildClient::InstallBuildAsync(VendraJSON::VSJObject* build,
                                               VendraJSON::VSJArray* files,
                                               const std::u16string& downloadFolder,
                                               const std::u16string& installFolder,
                                               VAsync** job) {
  if (!build || !files || !job || downloadFolder.empty() || installFolder.empty())
    return eVClientResult::InvalidArgument;
  *job = new VAsync_InstallBuild(this, build, files, downloadFolder, installFolder);
  return eVClientResult::Success;
}

}  // namespace VendraClient
