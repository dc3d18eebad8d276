#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "client/v_client.h"
#include "installer/package_manager_step.h"
#include "json/object.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace VendraTest {

using VendraClient::eVClientResult;

// One record of the calls every fake of a run received, in the order they
// came, so that a test notices steps taken out of turn.
using CallOrder = std::vector<std::string>;
inline void Note(CallOrder* order, std::string call) {
  if (order) order->push_back(std::move(call));
}

// The service client with scripted answers for the calls the driver makes;
// everything else is the real client.
class ScriptedClient : public VendraClient::VClient {
 public:
  eVClientResult EnsureLogin(std::u16string& error) override {
    calls.push_back("EnsureLogin");
    Note(order, "EnsureLogin");
    error = loginError;
    return loginResult;
  }
  eVClientResult EnsureDeviceAuthorized(std::u16string& error) override {
    calls.push_back("EnsureDeviceAuthorized");
    Note(order, "EnsureDeviceAuthorized");
    error = deviceError;
    return deviceResult;
  }
  eVClientResult GetBuilds(const std::string& product, const std::string& description,
                           uint32_t number, VendraJSON::VSJObject** list,
                           std::u16string& error) override {
    calls.push_back("GetBuilds " + product + " | " + description + " | " + std::to_string(number));
    Note(order, "GetBuilds");
    error = buildsError;
    *list = makeBuildList ? makeBuildList() : nullptr;
    return buildsResult;
  }

  std::vector<std::string> calls;
  CallOrder* order = nullptr;
  eVClientResult loginResult = eVClientResult::Success;
  std::u16string loginError;
  eVClientResult deviceResult = eVClientResult::Success;
  std::u16string deviceError;
  eVClientResult buildsResult = eVClientResult::Success;
  std::u16string buildsError;
  std::function<VendraJSON::VSJObject*()> makeBuildList;
};

class ScriptedPackageManager : public VendraInstaller::IPackageManagerStep {
 public:
  eVClientResult EnsurePackageManager(std::u16string& error) override {
    ++calls;
    Note(order, "EnsurePackageManager");
    error = errorText;
    return result;
  }
  int calls = 0;
  CallOrder* order = nullptr;
  eVClientResult result = eVClientResult::Success;
  std::u16string errorText;
};

class RecordingLauncher : public VendraPlatform::ILauncher {
 public:
  uint32_t Open(std::u16string_view p, std::u16string_view params,
                std::u16string_view folder) override {
    ++launches;
    Note(order, "Open");
    program = p;
    parameters = params;
    workingFolder = folder;
    return answer;
  }
  uint32_t OpenAddress(std::u16string_view) override { return answer; }
  uint32_t answer = 42;
  int launches = 0;
  CallOrder* order = nullptr;
  std::u16string program, parameters, workingFolder;
};

class RecordingMessageBox : public VendraPlatform::IMessageBox {
 public:
  void Show(std::u16string_view caption, std::u16string_view text) override {
    Note(order, "Show");
    captions.emplace_back(caption);
    texts.emplace_back(text);
  }
  std::vector<std::u16string> captions, texts;
  CallOrder* order = nullptr;
};

class RecordingTerminator : public VendraPlatform::IProcessTerminator {
 public:
  void Terminate(uint32_t exitCode) override {
    Note(order, "Terminate");
    codes.push_back(exitCode);
  }
  std::vector<uint32_t> codes;
  CallOrder* order = nullptr;
};

}  // namespace VendraTest
