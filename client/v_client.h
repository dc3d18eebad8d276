#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "client/client_windows.h"
#include "client/connection_pool.h"
#include "client/data_folder.h"
#include "client/device_identity.h"
#include "client/iv_client.h"
#include "client/session_lock.h"
#include "client/shared_memory_channel.h"
#include "client/token_record.h"

namespace VendraClient {

class VClientTransfer;

// The one service client of the process. Operations whose subsystems are not
// part of this build answer NotSupported (-3) with a text that says so; none
// of them pretends to succeed.
class VClient : public IVClient {
 public:
  VClient();
  virtual ~VClient();
  VClient(const VClient&) = delete;
  VClient& operator=(const VClient&) = delete;

  // The module handle VendraMain received; call it before the first window.
  void SetModuleInstance(ModuleInstance instance) { moduleInstance_ = instance; }
  // What the Login and Device Authorisation windows are shown with;
  // outlives the client or is replaced before it goes.
  void SetWindows(IVClientWindows* windows) { windows_ = windows; }
  // What the Crash Report window is shown with; outlives the client or is
  // replaced before it goes.
  void SetCrashReports(IVClientCrashReports* reports) { crashReports_ = reports; }

  ModuleInstance GetModuleInstance() override;
  eVClientResult GetDeviceName(std::u16string& name, std::u16string& error) override;
  bool GetDataPath(const std::u16string& relative, std::u16string& path) override;
  eVClientResult Logout(std::u16string& error) override;
  eVClientResult EnsureLogin(std::u16string& error) override;
  eVClientResult EnsureDeviceAuthorized(std::u16string& error) override;
  eVClientResult ShowDeviceAuthorizationWindow(std::u16string& error) override;
  eVClientResult LoginW(const std::u16string& user, const std::u16string& password,
                        bool passwordIsDigest, uint32_t sessionSeconds,
                        std::u16string& error) override;
  eVClientResult Login(const std::string& user, const std::string& password,
                       bool passwordIsDigest, uint32_t sessionSeconds,
                       std::u16string& error) override;
  eVClientResult ShowLoginWindow(std::u16string& error) override;
  eVClientResult RefreshToken(std::u16string& error) override;
  eVClientResult GetUsername(std::u16string& user, std::u16string& error) override;
  eVClientResult GetBuilds(const std::string& product, const std::string& description,
                           uint32_t number, VendraJSON::VSJObject** buildList,
                           std::u16string& error) override;
  eVClientResult GetBuild(const std::string& product, const std::string& branch,
                          const std::string& version, const std::u16string& folder,
                          VendraJSON::VSJObject** build, std::u16string& error) override;
  eVClientResult GetUtilityManifest(const std::string& utility, VendraJSON::VSJObject** manifest,
                                    std::u16string& error) override;
  eVClientResult DownloadBuildAsync(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files,
                                    const std::u16string& downloadFolder, VAsync** job,
                                    std::u16string& error) override;
  eVClientResult DownloadFileAsync(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                                   VAsync** job, std::u16string& error) override;
  // A file entry with a "pack" member asks for a piece of the product's
  // chunk pack of that name instead of a file: its "compressed_size" bytes
  // from "offset" on, by one range request, continued like a file.
  eVClientResult DownloadFile(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                              VAsync* job, VAsyncListener* listener,
                              std::u16string& error) override;
  eVClientResult DownloadUtilityAsync(VendraJSON::VSJObject* manifest, VAsync** job,
                                      std::u16string& error) override;
  eVClientResult DownloadUtilityFile(VendraJSON::VSJObject* manifest, VAsync* job,
                                     VAsyncListener* listener, std::u16string& error) override;
  eVClientResult EmailDeviceCode(std::u16string& error) override;
  eVClientResult AuthorizeDevice(const std::u16string& code, const std::u16string& deviceName,
                                 std::u16string& error) override;
  eVClientResult ReportCrash(VendraJSON::VSJObject* report, std::u16string& error) override;
  eVClientResult ReportCrashW(const std::string& project, const std::string& version,
                              int32_t build, const std::u16string& executable,
                              int64_t executableTime, const std::u16string& module,
                              int64_t address, int64_t exception, const std::string& report,
                              std::u16string& error) override;
  eVClientResult ReportCrashA(const std::string& project, const std::string& version,
                              int32_t build, const std::string& executable,
                              int64_t executableTime, const std::string& module, int64_t address,
                              int64_t exception, const std::string& report,
                              std::u16string& error) override;
  eVClientResult SendCrashReport(VendraJSON::VSJObject* report, std::u16string& error) override;
  eVClientResult GetData(const std::string& p, const std::string& v, int32_t ignored,
                         VendraJSON::VSJObject** reply, std::u16string& error) override;

  // The stored session, for the client's request operations, which call
  // them while they hold the session lock. LoadSession merges
  // localStorage.json and the channel into memory; it answers false, with
  // blocked saying why, when something other than a plain file stands in
  // the file's place, so that no session can be stored. SaveSession writes
  // the whole session back (true when the file was written) and the access
  // token to the channel.
  bool LoadSession(std::u16string* blocked = nullptr);
  // Writes the session in memory back (see LoadSession); the caller holds
  // the session lock.
  bool SaveSession();

  // How long requests wait for the session lock; tests shorten it.
  void SetSessionLockWait(uint32_t milliseconds) { sessionLockWaitMs_ = milliseconds; }

 private:
  // The guards of the authenticated catalogue requests; the session lock
  // stays held in lock until the request is done.
  eVClientResult EnterAuthenticatedRequest(std::optional<NamedMutexLockGuard>& lock,
                                           VClientTransfer& transfer, std::u16string& error);
  // "access_token", "local_id" and, when there is one, "local_token".
  void AddAuthenticationFields(VClientTransfer& transfer);
  // The local and refresh tokens that a reply object hands out (each when
  // present) are taken and the session is stored; nothing without a reply.
  void KeepReplyTokens(const VendraJSON::VSJObject* reply);
  // Takes the tokens a sign-in or renewal reply hands out (each when present).
  void TakeSignInTokens(const VendraJSON::VSJObject* reply);

  ModuleInstance moduleInstance_ = nullptr;
  IVClientWindows* windows_ = nullptr;
  IVClientCrashReports* crashReports_ = nullptr;
  std::u16string userName_;
  std::string deviceId_ = ComputeDeviceIdentity();
  TokenRecord accessToken_{&channel_};
  TokenRecord refreshToken_;
  TokenRecord localToken_;
  // Set while this process holds an access or refresh token that a reply
  // handed it and that it has not stored yet: only such a token may be
  // stored where the stored session no longer holds it (a sign-out there).
  bool accessTokenUnstored_ = false;
  bool refreshTokenUnstored_ = false;
  SharedMemoryChannel channel_;
  uint32_t sessionLockWaitMs_ = kSessionLockWaitMs;
  DataFolder dataFolder_;
  // The session in memory (the tokens above) is read and re-read by
  // requests on several threads at once (downloads in flight together).
  std::recursive_mutex sessionMemory_;
  // The service's connections, kept open from one request to the next.
  ConnectionPool connections_;
};

}  // namespace VendraClient
