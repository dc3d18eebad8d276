#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "installer/package_manager_step.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "tests/support/fake_client.h"

namespace VendraTest {

// One record of the calls every fake of a run received, in the order they
// came, so that a test notices steps taken out of turn.
using CallOrder = std::vector<std::string>;
inline void Note(CallOrder* order, std::string call) {
  if (order) order->push_back(std::move(call));
}

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
