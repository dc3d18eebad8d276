#include "common/memory/wipe.h"

namespace Vendra {

void WipeBytes(void* data, size_t size) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) bytes[i] = 0;
}

void WipeText(std::string& text) {
  WipeBytes(text.data(), text.capacity());
  text.clear();
}

void WipeText(std::u16string& text) {
  WipeBytes(text.data(), text.capacity() * sizeof(char16_t));
  text.clear();
}

}  // namespace Vendra
