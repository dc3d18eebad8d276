#pragma once

#include <cstddef>
#include <string>

namespace VendraJSON {

// Appends to a string through a raw pointer: the string is grown ahead of
// the writes and cut back to what was written when the buffer goes away.
template <typename Char>
class OutputBuffer {
 public:
  explicit OutputBuffer(std::basic_string<Char>& out) : out_(out), used_(out.size()) {
    out_.resize(used_ + 256);
  }
  ~OutputBuffer() { out_.resize(used_); }
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  // A place for at least n more characters; Commit says how many were used.
  Char* Reserve(size_t n) {
    if (out_.size() - used_ < n) out_.resize(used_ + (n > out_.size() ? n : out_.size()));
    return out_.data() + used_;
  }
  void Commit(Char* end) { used_ = static_cast<size_t>(end - out_.data()); }

  void Put(Char c) { *Reserve(1) = c, ++used_; }
  template <typename From>
  void Append(const From* text, size_t n) {
    Char* p = Reserve(n);
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<Char>(text[i]);
    used_ += n;
  }

 private:
  std::basic_string<Char>& out_;
  size_t used_;
};

}  // namespace VendraJSON
