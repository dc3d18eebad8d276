#include "json/utf8_input.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "common/text/utf.h"

namespace VendraJSON {

Utf16Input::Utf16Input(std::string_view utf8) : data_(new char16_t[utf8.size() + 1]) {
  // A sequence never yields more code units than it has bytes.
  char16_t* out = data_.get();
  const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    while (i + 8 <= n) {
      uint64_t block;
      std::memcpy(&block, in + i, 8);
      if (block & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) out[k] = in[i + k];
      out += 8;
      i += 8;
    }
    while (i < n && in[i] < 0x80) *out++ = in[i++];
    if (i == n) break;
    // A malformed sequence never swallows an ASCII byte, so the non-ASCII run
    // can be converted on its own.
    size_t end = i;
    while (end < n && in[end] >= 0x80) ++end;
    const std::u16string wide = VendraText::Utf8ToUtf16(utf8.substr(i, end - i));
    std::memcpy(out, wide.data(), wide.size() * sizeof(char16_t));
    out += wide.size();
    i = end;
  }
  size_ = static_cast<size_t>(out - data_.get());
  *out = 0;
}

}  // namespace VendraJSON
