#include "ui/control_text.h"

#include <memory>

#include "common/memory/wipe.h"

namespace VendraUi {

std::u16string ReadControlText(IDialogHost& host, int id) {
  const size_t capacity = host.TextLength(id) + 2;
  const std::unique_ptr<char16_t[]> buffer(new char16_t[capacity]());
  const size_t copied = host.CopyText(id, buffer.get(), capacity);
  std::u16string text(buffer.get(), copied < capacity ? copied : capacity - 1);
  Vendra::WipeBytes(buffer.get(), capacity * sizeof(char16_t));
  return text;
}

}  // namespace VendraUi
