#pragma once

#include <string>
#include <vector>

#include "client/v_client.h"
#include "platform/launcher.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/sign_in_windows.h"

namespace VendraUiTest {

// Records the addresses it is asked to open.
class RecordingLauncher final : public VendraPlatform::ILauncher {
 public:
  uint32_t Open(std::u16string_view, std::u16string_view, std::u16string_view) override {
    return 2;
  }
  uint32_t OpenAddress(std::u16string_view address) override {
    addresses.emplace_back(address);
    return answer;
  }
  std::vector<std::u16string> addresses;
  // What OpenAddress answers: above 32 when a browser took the page.
  uint32_t answer = 42;
};

struct Answer {
  VendraClient::eVClientResult result = VendraClient::eVClientResult::Success;
  std::u16string error;
};

// The process's client with only what the dialogs call replaced: each
// operation records its arguments and gives the answer set for it. Its
// Login window is the real one, shown on the same backend.
class FakeClient final : public VendraClient::VClient {
 public:
  FakeClient(VendraUi::IDialogBackend& backend, RecordingLauncher& launcher)
      : backend_(backend), launcher_(launcher) {}

  struct LoginCall {
    std::u16string user, password;
    bool passwordIsDigest;
    uint32_t seconds;
  };
  struct AuthorizeCall {
    std::u16string code, deviceName;
  };

  VendraClient::eVClientResult GetDeviceName(std::u16string& name,
                                             std::u16string& error) override {
    name = deviceName;
    return Give(deviceNameAnswer, error);
  }
  VendraClient::eVClientResult GetUsername(std::u16string& user, std::u16string& error) override {
    user = userName;
    return Give({}, error);
  }
  VendraClient::eVClientResult LoginW(const std::u16string& user, const std::u16string& password,
                                      bool passwordIsDigest, uint32_t seconds,
                                      std::u16string& error) override {
    logins.push_back({user, password, passwordIsDigest, seconds});
    if (loginAnswer.result == VendraClient::eVClientResult::Success) userName = user;
    return Give(loginAnswer, error);
  }
  VendraClient::eVClientResult AuthorizeDevice(const std::u16string& code,
                                               const std::u16string& name,
                                               std::u16string& error) override {
    authorizations.push_back({code, name});
    return Give(authorizeAnswer, error);
  }
  VendraClient::eVClientResult EmailDeviceCode(std::u16string& error) override {
    ++emails;
    return Give(emailAnswer, error);
  }
  VendraClient::eVClientResult Logout(std::u16string& error) override {
    ++logouts;
    return Give(logoutAnswer, error);
  }
  VendraClient::eVClientResult ShowLoginWindow(std::u16string& error) override {
    return VendraUi::ShowLoginWindow(*this, {backend_, launcher_, loginState}, error);
  }

  std::u16string deviceName = u"WORKSTATION-7";
  std::u16string userName = u"alice";
  Answer deviceNameAnswer, loginAnswer, authorizeAnswer, emailAnswer, logoutAnswer;
  VendraUi::WindowState loginState;

  std::vector<LoginCall> logins;
  std::vector<AuthorizeCall> authorizations;
  int emails = 0;
  int logouts = 0;

 private:
  static VendraClient::eVClientResult Give(const Answer& a, std::u16string& error) {
    if (a.result != VendraClient::eVClientResult::Success) error = a.error;
    return a.result;
  }

  VendraUi::IDialogBackend& backend_;
  RecordingLauncher& launcher_;
};

}  // namespace VendraUiTest
