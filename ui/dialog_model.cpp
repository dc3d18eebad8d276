#include "ui/dialog_model.h"

#include <algorithm>

#include "common/memory/wipe.h"
#include "ui/control_text.h"

namespace VendraUi {
namespace {

const std::u16string kNoText;
const std::vector<DialogModel::ComboEntry> kNoEntries;

// What a combo box answers for an entry it does not have.
constexpr uintptr_t kComboError = static_cast<uintptr_t>(-1);

}  // namespace

DialogModel::DialogModel(const DialogTemplate& dialog) : dialog_(dialog) {
  for (const ControlTemplate& c : dialog.controls)
    if (c.id != kNoControlId) controls_[c.id].text = std::u16string(c.text);
}

DialogModel::~DialogModel() {
  for (auto& [id, control] : controls_) {
    Vendra::WipeText(control.text);
    for (ComboEntry& entry : control.entries) Vendra::WipeText(entry.text);
  }
}

DialogModel::Control* DialogModel::Find(int id) {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

const DialogModel::Control* DialogModel::Find(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

size_t DialogModel::TextLength(int id) {
  const Control* c = Find(id);
  return c ? c->text.size() : 0;
}

size_t DialogModel::CopyText(int id, char16_t* buffer, size_t capacity) {
  if (capacity == 0) return 0;
  const Control* c = Find(id);
  const size_t count = c ? std::min(c->text.size(), capacity - 1) : 0;
  if (count) std::copy_n(c->text.data(), count, buffer);
  buffer[count] = 0;
  return count;
}

void DialogModel::SetText(int id, std::u16string_view text) {
  if (Control* c = Find(id)) {
    Vendra::WipeText(c->text);
    c->text.assign(text);
  }
}

int DialogModel::AddComboEntry(int id, std::u16string_view text) {
  Control* c = Find(id);
  if (!c) return -1;
  c->entries.push_back({std::u16string(text), 0});
  return static_cast<int>(c->entries.size()) - 1;
}

bool DialogModel::SetComboItemData(int id, int index, uintptr_t data) {
  Control* c = Find(id);
  if (!c || index < 0 || static_cast<size_t>(index) >= c->entries.size()) return false;
  c->entries[static_cast<size_t>(index)].data = data;
  return true;
}

uintptr_t DialogModel::ComboItemData(int id, int index) {
  const Control* c = Find(id);
  if (!c || index < 0 || static_cast<size_t>(index) >= c->entries.size()) return kComboError;
  return c->entries[static_cast<size_t>(index)].data;
}

bool DialogModel::SelectComboEntry(int id, int index) {
  Control* c = Find(id);
  if (!c || index < -1 || index >= static_cast<int>(c->entries.size())) return false;
  c->selected = index;
  c->text = index < 0 ? std::u16string() : c->entries[static_cast<size_t>(index)].text;
  return true;
}

int DialogModel::SelectedComboEntry(int id) {
  const Control* c = Find(id);
  return c ? c->selected : -1;
}

void DialogModel::Focus(int id) { focus_ = id; }

void DialogModel::PlaceOnTop(int x, int y) {
  placed_ = true;
  x_ = x;
  y_ = y;
}

void DialogModel::End(int code) {
  ended_ = true;
  endCode_ = code;
}

const std::u16string& DialogModel::Text(int id) const {
  const Control* c = Find(id);
  return c ? c->text : kNoText;
}

const std::vector<DialogModel::ComboEntry>& DialogModel::Entries(int id) const {
  const Control* c = Find(id);
  return c ? c->entries : kNoEntries;
}

void DialogModel::Type(int id, std::u16string_view text) {
  Control* c = Find(id);
  if (!c) return;
  SetText(id, text);
  if (c->entries.empty()) return;
  c->selected = -1;
  for (size_t i = 0; i < c->entries.size(); ++i)
    if (c->entries[i].text == text) c->selected = static_cast<int>(i);
}

}  // namespace VendraUi
