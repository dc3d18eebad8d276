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

// The handle the entry point receives for its own module.
using ModuleInstance = void*;

// The service client. Operations stand in their fixed order; each one that can
// fail fills the wide error text given last. Objects handed out through out
// arguments carry one reference for the caller.
class IVClient {
 public:
  virtual ModuleInstance GetModuleInstance() = 0;
  virtual eVClientResult GetDeviceName(std::u16string& name, std::u16string& error) = 0;
  virtual bool GetDataPath(const std::u16string& relative, std::u16string& path) = 0;
  virtual eVClientResult Logout(std::u16string& error) = 0;
  virtual eVClientResult EnsureLogin(std::u16string& error) = 0;
  virtual eVClientResult EnsureDeviceAuthorized(std::u16string& error) = 0;
  virtual eVClientResult ShowDeviceAuthorizationWindow(std::u16string& error) = 0;
  virtual eVClientResult LoginW(const std::u16string& user, const std::u16string& password,
                                bool passwordIsDigest, uint32_t sessionSeconds,
                                std::u16string& error) = 0;
  virtual eVClientResult Login(const std::string& user, const std::string& password,
                               bool passwordIsDigest, uint32_t sessionSeconds,
                               std::u16string& error) = 0;
  virtual eVClientResult ShowLoginWindow(std::u16string& error) = 0;
  virtual eVClientResult RefreshToken(std::u16string& error) = 0;
  virtual eVClientResult GetUsername(std::u16string& user, std::u16string& error) = 0;
  virtual eVClientResult GetBuilds(const std::string& product, const std::string& description,
                                   uint32_t number, VendraJSON::VSJObject** buildList,
                                   std::u16string& error) = 0;
  virtual eVClientResult GetBuild(const std::string& product, const std::string& branch,
                                  const std::string& version, const std::u16string& folder,
                                  VendraJSON::VSJObject** build, std::u16string& error) = 0;
  virtual eVClientResult GetUtilityManifest(const std::string& utility,
                                            VendraJSON::VSJObject** manifest,
                                            std::u16string& error) = 0;
  virtual eVClientResult DownloadBuildAsync(VendraJSON::VSJObject* build,
                                            VendraJSON::VSJArray* files,
                                            const std::u16string& downloadFolder, VAsync** job,
                                            std::u16string& error) = 0;
  virtual eVClientResult DownloadFileAsync(VendraJSON::VSJObject* build,
                                           VendraJSON::VSJObject* file, VAsync** job,
                                           std::u16string& error) = 0;
  virtual eVClientResult DownloadFile(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                                      VAsync* job, VAsyncListener* listener,
                                      std::u16string& error) = 0;
  virtual eVClientResult DownloadUtilityAsync(VendraJSON::VSJObject* manifest, VAsync** job,
                                              std::u16string& error) = 0;
  virtual eVClientResult DownloadUtilityFile(VendraJSON::VSJObject* manifest, VAsync* job,
                                             VAsyncListener* listener,
                                             std::u16string& error) = 0;
  virtual eVClientResult EmailDeviceCode(std::u16string& error) = 0;
  virtual eVClientResult AuthorizeDevice(const std::u16string& code,
                                         const std::u16string& deviceName,
                                         std::u16string& error) = 0;
  virtual eVClientResult ReportCrash(VendraJSON::VSJObject* report, std::u16string& error) = 0;
  virtual eVClientResult ReportCrashW(const std::string& project, const std::string& version,
                                      int32_t build, const std::u16string& executable,
                                      int64_t executableTime, const std::u16string& module,
                                      int64_t address, int64_t exception,
                                      const std::string& report, std::u16string& error) = 0;
  virtual eVClientResult ReportCrashA(const std::string& project, const std::string& version,
                                      int32_t build, const std::string& executable,
                                      int64_t executableTime, const std::string& module,
                                      int64_t address, int64_t exception,
                                      const std::string& report, std::u16string& error) = 0;
  virtual eVClientResult SendCrashReport(VendraJSON::VSJObject* report,
                                         std::u16string& error) = 0;
  virtual eVClientResult GetData(const std::string& p, const std::string& v, int32_t ignored,
                                 VendraJSON::VSJObject** reply, std::u16string& error) = 0;

 protected:
  ~IVClient() = default;
};

}  // namespace VendraClient
