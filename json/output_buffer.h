#pragma once

#include <cstddef>
#include <string>

namespace VendraJSON {

// Appends to a string through a raw pointer: the string is grown ahead of
// the writes and cut back to what was written when the buffer goes away.
template <typename Char>
class OutputBuffer {
 public:
  explicit OutputBuffer(std::basic_string<Char>& out)
      : out_(out), start_(out.size()), used_(out.size()) {
    out_.resize(used_ + 256);
  }
  ~OutputBuffer() { out_.resize(used_); }
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  // A place for at least n more characters; Commit says how many were used.
  Char* Reserve(size_t n) {
    if (out_.size() - used_ < n) Grow(n);
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
  // Doubles what this buffer has written so far, so that growing costs time
  // in proportion to the text written, not to what the string held before.
  void Grow(size_t n) {
    const size_t written = used_ - start_;
    out_.resize(used_ + (n > written ? n : written) + 256);
  }

  std::basic_string<Char>& out_;
  size_t start_;
  size_t used_;
};

}  // namespace VendraJSON
