#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/dialog_host.h"

namespace VendraUi {

// A dialog's controls held in memory (texts, combo entries, selection,
// focus), for backends that draw the window themselves and for tests. Texts
// are wiped when the model goes.
class DialogModel : public IDialogHost {
 public:
  struct ComboEntry {
    std::u16string text;
    uintptr_t data = 0;
  };

  explicit DialogModel(const DialogTemplate& dialog);
  ~DialogModel() override;
  DialogModel(const DialogModel&) = delete;
  DialogModel& operator=(const DialogModel&) = delete;

  size_t TextLength(int id) override;
  size_t CopyText(int id, char16_t* buffer, size_t capacity) override;
  void SetText(int id, std::u16string_view text) override;
  int AddComboEntry(int id, std::u16string_view text) override;
  bool SetComboItemData(int id, int index, uintptr_t data) override;
  uintptr_t ComboItemData(int id, int index) override;
  bool SelectComboEntry(int id, int index) override;
  int SelectedComboEntry(int id) override;
  void Focus(int id) override;
  void PlaceOnTop(int x, int y) override;
  void End(int code) override;

  const DialogTemplate& dialog() const { return dialog_; }
  const std::u16string& Text(int id) const;
  const std::vector<ComboEntry>& Entries(int id) const;
  // What a person typing into a control does: a combo box's typed text
  // selects the entry it names exactly, or none.
  void Type(int id, std::u16string_view text);

  bool ended() const { return ended_; }
  int endCode() const { return endCode_; }
  int focus() const { return focus_; }
  bool placed() const { return placed_; }
  int x() const { return x_; }
  int y() const { return y_; }

 private:
  struct Control {
    std::u16string text;
    std::vector<ComboEntry> entries;
    int selected = -1;
  };
  Control* Find(int id);
  const Control* Find(int id) const;

  const DialogTemplate& dialog_;
  std::map<int, Control> controls_;
  bool ended_ = false;
  int endCode_ = 0;
  int focus_ = kNoControlId;
  bool placed_ = false;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace VendraUi
