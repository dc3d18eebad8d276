#pragma once

#include <cstdint>
#include <string>

#include "client/result.h"

namespace VendraJSON {
class VSJObject;
class VSJArray;
}  // namespace VendraJSON

namespace VendraClient {

class VAsync;
class VAsyncListener;
class VBuffer;

// The build client: compressed files, digests, signatures, build file lists
// and the utility installation. Operations stand in their fixed order.
class IVBuildClient {
 public:
  virtual bool GetDataPath(const std::u16string& relative, std::u16string& path) = 0;
  virtual eVClientResult InflateFile(const std::u16string& compressedPath, uint32_t expectedSize,
                                     const std::u16string& outputPath, int32_t& outputSize,
                                     std::u16string& error) = 0;
  virtual eVClientResult InflateBuffer(VBuffer* input, uint32_t expectedSize, VBuffer** output,
                                       std::u16string& error) = 0;
  virtual eVClientResult DeflateFile(int32_t level, const std::u16string& inputPath,
                                     int32_t& inputSize, const std::u16string& outputPath,
                                     int32_t& compressedSize, std::u16string& error) = 0;
  virtual eVClientResult DeflateBuffer(int32_t level, VBuffer* input, VBuffer** output,
                                       std::u16string& error) = 0;
  virtual eVClientResult VerifySignature(const std::u16string& path, std::u16string& error) = 0;
  virtual eVClientResult CompressFiles(const std::u16string& outputFolder,
                                       const std::u16string& sourceFolder,
                                       VendraJSON::VSJArray* names, VendraJSON::VSJArray** files,
                                       std::u16string& error) = 0;
  virtual eVClientResult InstallBuildAsync(VendraJSON::VSJObject* build,
                                           VendraJSON::VSJArray* files,
                                           const std::u16string& downloadFolder,
                                           const std::u16string& installFolder, VAsync** job) = 0;
  virtual eVClientResult InstallFileAsync(VendraJSON::VSJObject* build,
                                          VendraJSON::VSJObject* file,
                                          const std::u16string& downloadFolder,
                                          const std::u16string& installFolder, VAsync** job) = 0;
  virtual eVClientResult InstallFile(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                                     const std::u16string& downloadFolder,
                                     const std::u16string& installFolder, VAsync* job,
                                     VAsyncListener* listener, std::u16string& error) = 0;
  virtual eVClientResult GetFilesToInstall(VendraJSON::VSJArray* files,
                                           const std::u16string& installFolder,
                                           VendraJSON::VSJArray** toInstall,
                                           std::u16string& error) = 0;
  virtual eVClientResult GetBuildFilesToInstall(VendraJSON::VSJObject* build,
                                                const std::u16string& installFolder,
                                                VendraJSON::VSJArray** toInstall,
                                                std::u16string& error) = 0;
  virtual eVClientResult CheckFile(VendraJSON::VSJObject* file, const std::u16string& path,
                                   std::u16string& error) = 0;
  virtual eVClientResult CheckUtilityFile(VendraJSON::VSJObject* manifest,
                                          std::u16string& error) = 0;
  virtual eVClientResult CheckUtilityDownload(VendraJSON::VSJObject* manifest,
                                              std::u16string& error) = 0;
  virtual eVClientResult InstallUtilityFile(VendraJSON::VSJObject* manifest,
                                            std::u16string& error) = 0;
  virtual eVClientResult GetFilesToDownload(VendraJSON::VSJObject* build,
                                            VendraJSON::VSJArray* files,
                                            const std::u16string& downloadFolder,
                                            VendraJSON::VSJArray** toDownload,
                                            std::u16string& error) = 0;

 protected:
  ~IVBuildClient() = default;
};

}  // namespace VendraClient
