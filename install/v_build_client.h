#pragma once

#include <cstdint>
#include <string>

#include "client/data_folder.h"
#include "install/iv_build_client.h"

namespace VendraClient {

// The one build client of the process: how a build's files sit on disk.
// Operations whose subsystems are not part of this build answer NotSupported
// (-3) with a text that says so; none of them pretends to succeed.
class VBuildClient : public IVBuildClient {
 public:
  VBuildClient();
  virtual ~VBuildClient();
  VBuildClient(const VBuildClient&) = delete;
  VBuildClient& operator=(const VBuildClient&) = delete;

  bool GetDataPath(const std::u16string& relative, std::u16string& path) override;
  eVClientResult InflateFile(const std::u16string& compressedPath, uint32_t expectedSize,
                             const std::u16string& outputPath, int32_t& outputSize,
                             std::u16string& error) override;
  eVClientResult InflateBuffer(VBuffer* input, uint32_t expectedSize, VBuffer** output,
                               std::u16string& error) override;
  eVClientResult DeflateFile(int32_t level, const std::u16string& inputPath, int32_t& inputSize,
                             const std::u16string& outputPath, int32_t& compressedSize,
                             std::u16string& error) override;
  eVClientResult DeflateBuffer(int32_t level, VBuffer* input, VBuffer** output,
                               std::u16string& error) override;
  eVClientResult VerifySignature(const std::u16string& path, std::u16string& error) override;
  eVClientResult CompressFiles(const std::u16string& outputFolder,
                               const std::u16string& sourceFolder, VendraJSON::VSJArray* names,
                               VendraJSON::VSJArray** files, std::u16string& error) override;
  eVClientResult InstallBuildAsync(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files,
                                   const std::u16string& downloadFolder,
                                   const std::u16string& installFolder, VAsync** job) override;
  eVClientResult InstallFileAsync(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                                  const std::u16string& downloadFolder,
                                  const std::u16string& installFolder, VAsync** job) override;
  eVClientResult InstallFile(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                             const std::u16string& downloadFolder,
                             const std::u16string& installFolder, VAsync* job,
                             VAsyncListener* listener, std::u16string& error) override;
  eVClientResult GetFilesToInstall(VendraJSON::VSJArray* files,
                                   const std::u16string& installFolder,
                                   VendraJSON::VSJArray** toInstall,
                                   std::u16string& error) override;
  eVClientResult GetBuildFilesToInstall(VendraJSON::VSJObject* build,
                                        const std::u16string& installFolder,
                                        VendraJSON::VSJArray** toInstall,
                                        std::u16string& error) override;
  eVClientResult CheckFile(VendraJSON::VSJObject* file, const std::u16string& path,
                           std::u16string& error) override;
  eVClientResult CheckUtilityFile(VendraJSON::VSJObject* manifest,
                                  std::u16string& error) override;
  eVClientResult CheckUtilityDownload(VendraJSON::VSJObject* manifest,
                                      std::u16string& error) override;
  eVClientResult InstallUtilityFile(VendraJSON::VSJObject* manifest,
                                    std::u16string& error) override;
  eVClientResult GetFilesToDownload(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files,
                                    const std::u16string& downloadFolder,
                                    VendraJSON::VSJArray** toDownload,
                                    std::u16string& error) override;

 private:
  // The installed utility's path for a manifest; false with a message for a
  // file name that could reach outside the utils folder.
  bool UtilityPath(const VendraJSON::VSJObject* manifest, std::u16string& path,
                   std::u16string& error);
  // Whether the utility's file with suffix ("" for the program, ".z" for its
  // download) has the manifest's size and digest under the keys given.
  eVClientResult CheckUtilityCopy(VendraJSON::VSJObject* manifest, std::u16string_view suffix,
                                  std::u16string_view sizeKey, std::u16string_view digestKey,
                                  std::u16string& error);

  DataFolder dataFolder_;
};

}  // namespace VendraClient
