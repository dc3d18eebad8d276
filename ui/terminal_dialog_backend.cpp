#include "ui/terminal_dialog_backend.h"

#include <set>
#include <string>
#include <vector>

#include "common/memory/wipe.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "ui/control_text.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_model.h"

namespace VendraUi {
namespace {

class TerminalHost final : public DialogModel {
 public:
  TerminalHost(const DialogTemplate& dialog, VendraPlatform::IMessageBox& messages)
      : DialogModel(dialog), messages_(messages) {}

  void ShowMessage(MessageOwner, std::u16string_view caption, std::u16string_view text) override {
    messages_.Show(caption, text);
  }

 private:
  VendraPlatform::IMessageBox& messages_;
};

bool Asks(const ControlTemplate& c) {
  return (c.kind == ControlKind::Edit && !c.Has(kReadOnly)) || c.kind == ControlKind::ComboBox;
}

bool Shows(const ControlTemplate& c) { return c.kind == ControlKind::Edit && c.Has(kReadOnly); }

// How far above a control its caption line may end, in dialog units.
constexpr int kCaptionGap = 6;

// A control's label is the static text that a reader sees on its left, on
// the same row: the nearest one whose rectangle overlaps it vertically.
// Without one, a static text just above it that starts at its left edge
// (the caption line of a large box) is its label.
const ControlTemplate* LabelOf(const DialogTemplate& dialog, const ControlTemplate& control) {
  const ControlTemplate* best = nullptr;
  for (const ControlTemplate& s : dialog.controls) {
    if (s.kind != ControlKind::Static) continue;
    const bool sameRow = s.y < control.y + control.height && control.y < s.y + s.height;
    if (!sameRow || s.x + s.width > control.x) continue;
    if (!best || s.x + s.width > best->x + best->width) best = &s;
  }
  if (best) return best;
  for (const ControlTemplate& s : dialog.controls) {
    if (s.kind != ControlKind::Static) continue;
    const int gap = control.y - (s.y + s.height);
    if (gap >= 0 && gap <= kCaptionGap && s.x == control.x) return &s;
  }
  return nullptr;
}

std::u16string LabelText(const DialogTemplate& dialog, const ControlTemplate& control) {
  const ControlTemplate* label = LabelOf(dialog, control);
  if (!label) return VendraText::Format(u"Field %d", control.id);
  std::u16string text(label->text);
  while (!text.empty() && (text.back() == u':' || text.back() == u' ')) text.pop_back();
  return text;
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

// A positive decimal number, or 0 when the text is not one.
size_t EntryNumber(std::u16string_view s) {
  if (s.empty() || s.size() > 4) return 0;
  size_t n = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return 0;
    n = n * 10 + static_cast<size_t>(c - u'0');
  }
  return n;
}

class Session {
 public:
  Session(VendraPlatform::ITerminal& terminal, TerminalHost& host, IDialogLogic& logic)
      : terminal_(terminal), host_(host), logic_(logic), dialog_(host.dialog()) {
    for (const ControlTemplate& c : dialog_.controls)
      if (Asks(c) || Shows(c))
        if (const ControlTemplate* label = LabelOf(dialog_, c)) labels_.insert(label);
  }

  void Run() {
    logic_.OnInit(host_);
    while (!host_.ended()) {
      PrintWindow();
      int button = kIdCancel;
      if (!AskControls() || !AskButton(button)) {
        Cancel();
        return;
      }
      logic_.OnCommand(host_, button);
    }
  }

 private:
  // End of input is the close box: Cancel, and the window ends whatever the
  // handler did, so a script that stops never leaves a window waiting.
  void Cancel() {
    terminal_.Write(u"\n");
    logic_.OnCommand(host_, kIdCancel);
    if (!host_.ended()) host_.End(kEndCancel);
  }

  // The window's texts are printed in full once; later rounds (after a
  // button that keeps the window open) repeat only the caption and the
  // boxes, whose contents may have changed.
  void PrintWindow() {
    std::u16string out = u"\n";
    out += dialog_.caption;
    out += u"\n";
    out.append(dialog_.caption.size(), u'=');
    out += u"\n";
    const bool first = !printed_;
    printed_ = true;
    for (const ControlTemplate& c : dialog_.controls) {
      if (c.kind == ControlKind::Static && !labels_.count(&c)) {
        if (!first) continue;
        out += c.text;
        out += u"\n";
      } else if (Shows(c)) {
        out += LabelText(dialog_, c) + u": " + host_.Text(c.id) + u"\n";
      }
    }
    terminal_.Write(out);
  }

  bool AskControls() {
    for (const ControlTemplate& c : dialog_.controls) {
      if (!Asks(c)) continue;
      const bool ok = c.kind == ControlKind::ComboBox ? AskCombo(c) : AskEdit(c);
      if (!ok) return false;
    }
    return true;
  }

  // Edit boxes take the line as typed; blanks count as text.
  bool AskEdit(const ControlTemplate& c) {
    std::u16string prompt = LabelText(dialog_, c);
    const std::u16string& current = host_.Text(c.id);
    if (!current.empty()) prompt += c.Has(kPassword) ? u" [****]" : u" [" + current + u"]";
    prompt += u": ";
    std::u16string line;
    if (!terminal_.ReadLine(prompt, line, c.Has(kPassword))) return false;
    if (!line.empty()) host_.Type(c.id, line);
    Vendra::WipeText(line);
    return true;
  }

  bool AskCombo(const ControlTemplate& c) {
    const auto& entries = host_.Entries(c.id);
    for (;;) {
      std::u16string prompt = LabelText(dialog_, c) + u" (";
      for (size_t i = 0; i < entries.size(); ++i)
        prompt += VendraText::Format(u"%ls%u: %ls", i ? u", " : u"", i + 1, entries[i].text);
      prompt += u")";
      if (!host_.Text(c.id).empty()) prompt += u" [" + host_.Text(c.id) + u"]";
      prompt += u": ";
      std::u16string line;
      if (!terminal_.ReadLine(prompt, line, false)) return false;
      const std::u16string_view choice = Trim(line);
      if (choice.empty()) return true;
      const size_t number = EntryNumber(choice);
      if (number >= 1 && number <= entries.size()) {
        host_.SelectComboEntry(c.id, static_cast<int>(number - 1));
        return true;
      }
      for (size_t i = 0; i < entries.size(); ++i) {
        if (VendraText::EqualsIgnoreAsciiCase(choice, entries[i].text)) {
          host_.SelectComboEntry(c.id, static_cast<int>(i));
          return true;
        }
      }
      terminal_.Write(u"Choose one of the entries by its number or its text.\n");
    }
  }

  // A button is chosen by its number, its text or a prefix of its text
  // that no other button shares (letter case aside).
  bool AskButton(int& button) {
    std::vector<const ControlTemplate*> buttons;
    const ControlTemplate* byDefault = nullptr;
    for (const ControlTemplate& c : dialog_.controls) {
      if (!c.IsButton()) continue;
      buttons.push_back(&c);
      if (c.kind == ControlKind::DefaultPushButton) byDefault = &c;
    }
    std::u16string prompt = u"Press a button (";
    for (size_t i = 0; i < buttons.size(); ++i)
      prompt += VendraText::Format(u"%ls%u: %ls", i ? u", " : u"", i + 1, buttons[i]->text);
    prompt += u")";
    if (byDefault) prompt += u" [" + std::u16string(byDefault->text) + u"]";
    prompt += u": ";
    for (;;) {
      std::u16string line;
      if (!terminal_.ReadLine(prompt, line, false)) return false;
      const std::u16string_view choice = Trim(line);
      if (choice.empty() && byDefault) {
        button = byDefault->id;
        return true;
      }
      const size_t number = EntryNumber(choice);
      if (number >= 1 && number <= buttons.size()) {
        button = buttons[number - 1]->id;
        return true;
      }
      std::vector<const ControlTemplate*> matches;
      for (const ControlTemplate* b : buttons) {
        const std::u16string_view text(b->text);
        if (VendraText::EqualsIgnoreAsciiCase(choice, text)) {
          matches = {b};
          break;
        }
        if (!choice.empty() && choice.size() < text.size() &&
            VendraText::EqualsIgnoreAsciiCase(choice, text.substr(0, choice.size())))
          matches.push_back(b);
      }
      if (matches.size() == 1) {
        button = matches[0]->id;
        return true;
      }
      terminal_.Write(matches.empty()
                          ? VendraText::Format(u"There is no button \"%ls\".\n", choice)
                          : VendraText::Format(u"\"%ls\" fits more than one button; type more "
                                               u"of its text or its number.\n",
                                               choice));
    }
  }

  VendraPlatform::ITerminal& terminal_;
  TerminalHost& host_;
  IDialogLogic& logic_;
  const DialogTemplate& dialog_;
  std::set<const ControlTemplate*> labels_;
  bool printed_ = false;
};

}  // namespace

bool TerminalDialogBackend::Run(const DialogTemplate& dialog, IDialogLogic& logic, void*,
                                uint32_t& lastError) {
  if (!terminal_.Available(lastError)) return false;
  TerminalHost host(dialog, messages_);
  Session(terminal_, host, logic).Run();
  return true;
}

}  // namespace VendraUi
