#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/dialog_model.h"

namespace VendraUiTest {

struct MessageRecord {
  VendraUi::MessageOwner owner;
  std::u16string caption;
  std::u16string text;
};

// A dialog in memory that records the message boxes it is asked to show and
// the buffers its texts are read through.
class ScriptedHost final : public VendraUi::DialogModel {
 public:
  using DialogModel::DialogModel;

  void ShowMessage(VendraUi::MessageOwner owner, std::u16string_view caption,
                   std::u16string_view text) override {
    messages.push_back({owner, std::u16string(caption), std::u16string(text)});
  }
  size_t CopyText(int id, char16_t* buffer, size_t capacity) override {
    reads.push_back({id, capacity});
    return DialogModel::CopyText(id, buffer, capacity);
  }
  int AddComboEntry(int id, std::u16string_view text) override {
    if (text == failEntry) return -1;
    return DialogModel::AddComboEntry(id, text);
  }

  struct Read {
    int id;
    size_t capacity;
  };
  std::vector<MessageRecord> messages;
  std::vector<Read> reads;
  std::u16string failEntry;  // a combo entry whose insertion fails
};

// What one showing of a dialog left behind.
struct ShownDialog {
  int resourceId = 0;
  bool initSetFocus = false;
  bool ended = false;
  int endCode = 0;
  int focus = 0;
  bool placed = false;
  int x = 0;
  int y = 0;
  std::vector<MessageRecord> messages;
  std::map<int, std::u16string> texts;
};

using Script = std::function<void(ScriptedHost&, VendraUi::IDialogLogic&)>;

// Shows each dialog by running the next queued script against it: the script
// types into controls and presses buttons by calling the logic. A dialog the
// script leaves open is a test failure.
class ScriptedBackend final : public VendraUi::IDialogBackend {
 public:
  void Then(Script script) { scripts_.push_back(std::move(script)); }
  // The next showing fails as if no window could be made.
  void FailNext(uint32_t lastError) { failures_.push_back(lastError); }
  // Before a script runs, e.g. to make a combo entry fail.
  std::function<void(ScriptedHost&)> prepare;

  bool Run(const VendraUi::DialogTemplate& dialog, VendraUi::IDialogLogic& logic, void* module,
           uint32_t& lastError) override;

  std::vector<ShownDialog> shown;
  size_t pending() const { return scripts_.size(); }

 private:
  std::deque<Script> scripts_;
  std::deque<uint32_t> failures_;
};

// Script steps.
Script TypeAndPress(std::map<int, std::u16string> texts, int button);
Script Press(int button);

}  // namespace VendraUiTest
