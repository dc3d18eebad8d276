#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace VendraJSON {

// UTF-8 input converted to UTF-16 for the parser, the same way as
// VendraText::Utf8ToUtf16 (invalid sequences become U+FFFD) but with a fast
// path for runs of ASCII, which is nearly all of a typical document.
class Utf16Input {
 public:
  explicit Utf16Input(std::string_view utf8);

  const char16_t* data() const { return data_.get(); }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<char16_t[]> data_;
  size_t size_ = 0;
};

}  // namespace VendraJSON
