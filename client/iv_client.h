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
  // The module handle the program gave with SetModuleInstance (null until then):
  // what the windows are made with on Windows.
  virtual ModuleInstance GetModuleInstance() = 0;
  // This computer's name, as the Device Authorisation window proposes it. On
  // failure name is "UNKNOWN" and the result is Failed with the system's code
  // in error. Does not block on the network or the session lock.
  virtual eVClientResult GetDeviceName(std::u16string& name, std::u16string& error) = 0;
  // The vendor's data folder joined with relative (the folder itself for an
  // empty relative), made on first use; always true. The folder is shared by
  // every user: do not start or trust what lies there without the checks the
  // client applies itself.
  virtual bool GetDataPath(const std::u16string& relative, std::u16string& path) = 0;
  // Forgets the access and refresh tokens, in memory and in the stored session
  // shared by the vendor's programs; the user name and this device's local
  // token stay for the next sign-in. Takes the session lock (LockTimeout when
  // another program keeps it past the wait).
  virtual eVClientResult Logout(std::u16string& error) = 0;
  // Makes sure there is a valid access token, asking as little as possible:
  // the token in memory, then the stored session (under the session lock), then
  // a renewal with the refresh token, and only then the Login window (through
  // the windows given with SetWindows; NotSupported without them). Blocks for
  // as long as the window is open. LoginCancelled when the person cancelled.
  virtual eVClientResult EnsureLogin(std::u16string& error) = 0;
  // Makes sure this device holds a local token (is authorised for the
  // account), showing the Device Authorisation window when it does not. Call it
  // after EnsureLogin. Cancelled when the person cancelled the window.
  virtual eVClientResult EnsureDeviceAuthorized(std::u16string& error) = 0;
  // Shows the Device Authorisation window modally through the windows the
  // program gave its client; NotSupported, with a text naming the window, when
  // it gave none.
  virtual eVClientResult ShowDeviceAuthorizationWindow(std::u16string& error) = 0;
  // Login with wide texts; the narrowed password is wiped after use.
  virtual eVClientResult LoginW(const std::u16string& user, const std::u16string& password,
                                bool passwordIsDigest, uint32_t sessionSeconds,
                                std::u16string& error) = 0;
  // Signs in with user and password (or the password's digest when
  // passwordIsDigest) for a session of sessionSeconds, and stores the tokens
  // the service hands out. Blocks for the request; holds the session lock while
  // the request runs. The service's refusal comes back as its code with its
  // text (HttpUnauthorized for a wrong password, for example).
  virtual eVClientResult Login(const std::string& user, const std::string& password,
                               bool passwordIsDigest, uint32_t sessionSeconds,
                               std::u16string& error) = 0;
  // Shows the Login window modally through the windows the program gave its
  // client; NotSupported, with a text naming the window, when it gave none.
  virtual eVClientResult ShowLoginWindow(std::u16string& error) = 0;
  // Renews the access token with the stored refresh token, under the session
  // lock. Success at once when another program renewed it meanwhile;
  // RefreshTokenRequired or LocalTokenRequired when there is nothing to renew
  // with. A failed renewal is not tried again in this process until the stored
  // session is read again.
  virtual eVClientResult RefreshToken(std::u16string& error) = 0;
  // The signed-in user's name; AccessTokenRequired when there is no valid
  // access token and none could be renewed.
  virtual eVClientResult GetUsername(std::u16string& user, std::u16string& error) = 0;
  // The product's build list (the reply of "vclient/builds": its "live"
  // object names the live version, and a signed list carries the publisher's
  // "release_signature"), with one reference for the caller in buildList even
  // when the service refused. description says who asks (a program name and
  // version); number is passed through. Needs a valid access token. Blocks for
  // the request.
  virtual eVClientResult GetBuilds(const std::string& product, const std::string& description,
                                   uint32_t number, VendraJSON::VSJObject** buildList,
                                   std::u16string& error) = 0;
  // One build's object (file list, sizes and digests) for product, branch and
  // version, with one reference for the caller in build; a copy is written to
  // folder/build.json when folder is not empty. InvalidArgument when a name is
  // empty. Needs a valid access token and a local token; holds the session
  // lock while the request runs.
  virtual eVClientResult GetBuild(const std::string& product, const std::string& branch,
                                  const std::string& version, const std::u16string& folder,
                                  VendraJSON::VSJObject** build, std::u16string& error) = 0;
  // The manifest of the utility named utility (its file name, sizes, digests
  // and the publisher's signature), with one reference for the caller in
  // manifest. The manifest is what the service says: check its signature
  // before anything it names is started. Holds the session lock while the
  // request runs.
  virtual eVClientResult GetUtilityManifest(const std::string& utility,
                                            VendraJSON::VSJObject** manifest,
                                            std::u16string& error) = 0;
  // A job (one reference for the caller in job) that downloads the files of
  // build listed in files into downloadFolder, one after the other. Nothing
  // runs until the job's Start. InvalidArgument when an argument is missing.
  virtual eVClientResult DownloadBuildAsync(VendraJSON::VSJObject* build,
                                            VendraJSON::VSJArray* files,
                                            const std::u16string& downloadFolder, VAsync** job,
                                            std::u16string& error) = 0;
  // A job (one reference for the caller in job) that runs DownloadFile for one
  // file of build. Nothing runs until the job's Start.
  virtual eVClientResult DownloadFileAsync(VendraJSON::VSJObject* build,
                                           VendraJSON::VSJObject* file, VAsync** job,
                                           std::u16string& error) = 0;
  // Downloads one file of build into the file's "local_compressed_filename",
  // continuing a partial file and trying transient failures again; blocks until
  // it is done. The bytes are held to the file's "compressed_size" and
  // "compressed_sha256" as they arrive, and a file that does not match is
  // discarded. A file name that could lead outside its folder is refused. The
  // session lock is held during each attempt; listener (may be null) hears the
  // progress on the calling thread, and a listener that is a
  // TransferStopSignal can end the download (Cancelled).
  virtual eVClientResult DownloadFile(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                                      VAsync* job, VAsyncListener* listener,
                                      std::u16string& error) = 0;
  // A job (one reference for the caller in job) that runs DownloadUtilityFile
  // for manifest. Nothing runs until the job's Start.
  virtual eVClientResult DownloadUtilityAsync(VendraJSON::VSJObject* manifest, VAsync** job,
                                              std::u16string& error) = 0;
  // Downloads the utility's compressed file named by manifest into the data
  // folder's "utils" (which must pass the trust rule for folders programs are
  // started from: AccessDenied otherwise), held to the manifest's sizes and
  // digests; blocks like DownloadFile.
  virtual eVClientResult DownloadUtilityFile(VendraJSON::VSJObject* manifest, VAsync* job,
                                             VAsyncListener* listener,
                                             std::u16string& error) = 0;
  // Asks the service to e-mail the account a device code. Needs a valid access
  // token; holds the session lock while the request runs.
  virtual eVClientResult EmailDeviceCode(std::u16string& error) = 0;
  // Authorises this device with code (from the e-mail or an authenticator)
  // under deviceName, and stores the local token the service hands out.
  // InvalidArgument when either is empty.
  virtual eVClientResult AuthorizeDevice(const std::u16string& code,
                                         const std::u16string& deviceName,
                                         std::u16string& error) = 0;
  // Shows report in the Crash Report window and hands it to the crash
  // reporter, through what the program gave with SetCrashReports (NotSupported
  // without it). report stays the caller's.
  virtual eVClientResult ReportCrash(VendraJSON::VSJObject* report, std::u16string& error) = 0;
  // ReportCrash for a report made from these facts (see MakeCrashReport), the
  // names as wide text.
  virtual eVClientResult ReportCrashW(const std::string& project, const std::string& version,
                                      int32_t build, const std::u16string& executable,
                                      int64_t executableTime, const std::u16string& module,
                                      int64_t address, int64_t exception,
                                      const std::string& report, std::u16string& error) = 0;
  // ReportCrash for a report made from these facts, the names as UTF-8.
  virtual eVClientResult ReportCrashA(const std::string& project, const std::string& version,
                                      int32_t build, const std::string& executable,
                                      int64_t executableTime, const std::string& module,
                                      int64_t address, int64_t exception,
                                      const std::string& report, std::u16string& error) = 0;
  // Posts report to the service; what the crash reporter program calls. Needs
  // a valid access token and a local token; holds the session lock while the
  // request runs. report stays the caller's.
  virtual eVClientResult SendCrashReport(VendraJSON::VSJObject* report,
                                         std::u16string& error) = 0;
  // The service's general data request for p and v, with one reference for
  // the caller in reply. The third argument is ignored.
  virtual eVClientResult GetData(const std::string& p, const std::string& v, int32_t ignored,
                                 VendraJSON::VSJObject** reply, std::u16string& error) = 0;

 protected:
  // Not deleted through the interface: the program owns its client.
  ~IVClient() = default;
};

}  // namespace VendraClient
