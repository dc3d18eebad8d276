#include "ui/control_text.h"

#include <memory>

namespace VendraUi {
namespace {

// Volatile stores so that the wipe of a buffer about to be freed is kept.
void Zero(char16_t* units, size_t count) {
  volatile char16_t* p = units;
  for (size_t i = 0; i < count; ++i) p[i] = 0;
}

}  // namespace

std::u16string ReadControlText(IDialogHost& host, int id) {
  const size_t capacity = host.TextLength(id) + 2;
  const std::unique_ptr<char16_t[]> buffer(new char16_t[capacity]());
  const size_t copied = host.CopyText(id, buffer.get(), capacity);
  std::u16string text(buffer.get(), copied < capacity ? copied : capacity - 1);
  Zero(buffer.get(), capacity);
  return text;
}

void WipeText(std::u16string& text) {
  Zero(text.data(), text.size());
  text.clear();
}

}  // namespace VendraUi
