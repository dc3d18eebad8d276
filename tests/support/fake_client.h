#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "client/v_client.h"
#include "common/text/format.h"
#include "json/object.h"
#include "platform/launcher.h"

namespace VendraTest {

using VendraClient::eVClientResult;

struct Answer {
  eVClientResult result = eVClientResult::Success;
  std::u16string error;
};

// The process's client with the operations the suites play replaced: each
// records its call and gives the answer set for it; everything else is the
// real client.
class FakeClient : public VendraClient::VClient {
 public:
  struct LoginCall {
    std::u16string user, password;
    bool passwordIsDigest;
    uint32_t seconds;
  };
  struct AuthorizeCall {
    std::u16string code, deviceName;
  };

  eVClientResult GetDeviceName(std::u16string& name, std::u16string& error) override {
    name = deviceName;
    return Give(deviceNameAnswer, error);
  }
  eVClientResult GetUsername(std::u16string& user, std::u16string& error) override {
    user = userName;
    return Give({}, error);
  }
  eVClientResult LoginW(const std::u16string& user, const std::u16string& password,
                        bool passwordIsDigest, uint32_t seconds, std::u16string& error) override {
    Heard(VendraText::Format("LoginW [%ls] [%ls] %d %u", user, password, passwordIsDigest,
                             seconds));
    logins.push_back({user, password, passwordIsDigest, seconds});
    if (loginAnswer.result == eVClientResult::Success) userName = user;
    return Give(loginAnswer, error);
  }
  eVClientResult AuthorizeDevice(const std::u16string& code, const std::u16string& name,
                                 std::u16string& error) override {
    Heard(VendraText::Format("AuthorizeDevice [%ls] [%ls]", code, name));
    authorizations.push_back({code, name});
    return Give(authorizeAnswer, error);
  }
  eVClientResult EmailDeviceCode(std::u16string& error) override {
    Heard("EmailDeviceCode");
    ++emails;
    return Give(emailAnswer, error);
  }
  eVClientResult Logout(std::u16string& error) override {
    Heard("Logout");
    ++logouts;
    return Give(logoutAnswer, error);
  }
  eVClientResult EnsureLogin(std::u16string& error) override {
    Heard("EnsureLogin");
    return Give(ensureLoginAnswer, error);
  }
  eVClientResult EnsureDeviceAuthorized(std::u16string& error) override {
    Heard("EnsureDeviceAuthorized");
    return Give(ensureDeviceAnswer, error);
  }
  eVClientResult GetBuilds(const std::string& product, const std::string& description,
                           uint32_t number, VendraJSON::VSJObject** list,
                           std::u16string& error) override {
    Heard("GetBuilds " + product + " | " + description + " | " + std::to_string(number));
    *list = makeBuildList ? makeBuildList() : nullptr;
    return Give(buildsAnswer, error);
  }
  eVClientResult ShowLoginWindow(std::u16string& error) override {
    return loginWindow ? loginWindow(error) : VClient::ShowLoginWindow(error);
  }
  eVClientResult DownloadFile(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                              VendraClient::VAsync* job, VendraClient::VAsyncListener* listener,
                              std::u16string& error) override {
    return download ? download(file, job, listener, error)
                    : VClient::DownloadFile(build, file, job, listener, error);
  }
  eVClientResult DownloadUtilityFile(VendraJSON::VSJObject* manifest, VendraClient::VAsync* job,
                                     VendraClient::VAsyncListener* listener,
                                     std::u16string& error) override {
    return download ? download(manifest, job, listener, error)
                    : VClient::DownloadUtilityFile(manifest, job, listener, error);
  }
  eVClientResult DownloadUtilityAsync(VendraJSON::VSJObject* manifest, VendraClient::VAsync** job,
                                      std::u16string& error) override {
    return downloadUtilityAsync ? downloadUtilityAsync(manifest, job, error)
                                : VClient::DownloadUtilityAsync(manifest, job, error);
  }

  std::u16string deviceName = u"WORKSTATION-7";
  std::u16string userName = u"alice";
  Answer deviceNameAnswer, loginAnswer, authorizeAnswer, emailAnswer, logoutAnswer,
      ensureLoginAnswer, ensureDeviceAnswer, buildsAnswer;
  std::function<VendraJSON::VSJObject*()> makeBuildList;
  // The Login window, when not the client's own.
  std::function<eVClientResult(std::u16string& error)> loginWindow;
  // A file's or the package manager's download, when not the client's own:
  // given what it downloads (the file entry or the manifest), the job and its
  // listener.
  std::function<eVClientResult(VendraJSON::VSJObject* what, VendraClient::VAsync* job,
                               VendraClient::VAsyncListener* listener, std::u16string& error)>
      download;
  // The package manager's download job, when not the client's own.
  std::function<eVClientResult(VendraJSON::VSJObject* manifest, VendraClient::VAsync** job,
                               std::u16string& error)>
      downloadUtilityAsync;

  // Every call with its arguments, in order; heard is told of each as it
  // comes.
  std::vector<std::string> calls;
  std::function<void(const std::string& call)> heard;
  std::vector<LoginCall> logins;
  std::vector<AuthorizeCall> authorizations;
  int emails = 0;
  int logouts = 0;

 private:
  void Heard(std::string call) {
    if (heard) heard(call);
    calls.push_back(std::move(call));
  }
  static eVClientResult Give(const Answer& a, std::u16string& error) {
    if (a.result != eVClientResult::Success) error = a.error;
    return a.result;
  }
};

// Records the programs and addresses it is asked to open.
class RecordingLauncher final : public VendraPlatform::ILauncher {
 public:
  uint32_t Open(std::u16string_view p, std::u16string_view params,
                std::u16string_view folder) override {
    if (heard) heard("Open");
    ++launches;
    program = p;
    parameters = params;
    workingFolder = folder;
    return answer;
  }
  uint32_t OpenAddress(std::u16string_view address) override {
    addresses.emplace_back(address);
    return answer;
  }
  // Above 32 when a program or browser took it.
  uint32_t answer = 42;
  int launches = 0;
  std::u16string program, parameters, workingFolder;
  std::vector<std::u16string> addresses;
  std::function<void(const std::string& call)> heard;
};

}  // namespace VendraTest
