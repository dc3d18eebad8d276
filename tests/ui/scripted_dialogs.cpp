#include "tests/ui/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace VendraUiTest {

bool ScriptedBackend::Run(const VendraUi::DialogTemplate& dialog, VendraUi::IDialogLogic& logic,
                          void*, uint32_t& lastError) {
  if (!failures_.empty()) {
    lastError = failures_.front();
    failures_.pop_front();
    return false;
  }
  const size_t slot = shown.size();
  shown.emplace_back();
  shown[slot].resourceId = dialog.resourceId;
  ScriptedHost host(dialog);
  if (prepare) prepare(host);
  const bool initSetFocus = logic.OnInit(host);
  if (scripts_.empty()) {
    ADD_FAILURE() << "dialog " << dialog.resourceId << " shown without a script";
    logic.OnCommand(host, 2);
  } else {
    Script script = std::move(scripts_.front());
    scripts_.pop_front();
    script(host, logic);
  }
  EXPECT_TRUE(host.ended()) << "the script left dialog " << dialog.resourceId << " open";
  ShownDialog& out = shown[slot];
  out.initSetFocus = initSetFocus;
  out.ended = host.ended();
  out.endCode = host.endCode();
  out.focus = host.focus();
  out.placed = host.placed();
  out.x = host.x();
  out.y = host.y();
  out.messages = host.messages;
  for (const auto& c : dialog.controls)
    if (c.id != VendraUi::kNoControlId) out.texts[c.id] = host.Text(c.id);
  return true;
}

Script TypeAndPress(std::map<int, std::u16string> texts, int button) {
  return [texts = std::move(texts), button](ScriptedHost& host, VendraUi::IDialogLogic& logic) {
    for (const auto& [id, text] : texts) host.Type(id, text);
    logic.OnCommand(host, button);
  };
}

Script Press(int button) {
  return [button](ScriptedHost& host, VendraUi::IDialogLogic& logic) {
    logic.OnCommand(host, button);
  };
}

}  // namespace VendraUiTest
