#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

// printf-style formatting into UTF-16 or UTF-8, independent of the process
// locale (the decimal point is always '.').
//
// Conversions: d i u x X o c s f F e E g G and %%, with flags (- 0 + space #),
// width, precision ('*' takes an argument) and the length prefixes h hh l ll
// I64 I32 j z t. "%s", "%ls" and "%hs" all print their argument, whose own type
// (wide or narrow) decides how it is read; it is converted to the output's
// encoding. Integers without a 64-bit prefix are cut to 32 bits, as a 32-bit
// printf argument would be.
namespace VendraText {

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Double, Wide, Narrow };

  template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T> &&
                                             !std::is_same_v<T, char>,
                                         int> = 0>
  FormatArg(T v) : kind_(Kind::Signed), i_(v) {}
  template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T> &&
                                             !std::is_same_v<T, bool>,
                                         int> = 0>
  FormatArg(T v) : kind_(Kind::Unsigned), u_(v) {}
  template <typename E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
  FormatArg(E e) : FormatArg(static_cast<std::underlying_type_t<E>>(e)) {}
  FormatArg(char c) : kind_(Kind::Unsigned), u_(static_cast<unsigned char>(c)) {}
  FormatArg(bool b) : kind_(Kind::Signed), i_(b ? 1 : 0) {}
  FormatArg(double v) : kind_(Kind::Double), d_(v) {}
  FormatArg(float v) : kind_(Kind::Double), d_(v) {}
  FormatArg(std::u16string_view s) : kind_(Kind::Wide), w_(s) {}
  FormatArg(const std::u16string& s) : kind_(Kind::Wide), w_(s) {}
  FormatArg(const char16_t* s) : kind_(Kind::Wide), w_(s ? s : u"(null)") {}
  FormatArg(std::string_view s) : kind_(Kind::Narrow), n_(s) {}
  FormatArg(const std::string& s) : kind_(Kind::Narrow), n_(s) {}
  FormatArg(const char* s) : kind_(Kind::Narrow), n_(s ? s : "(null)") {}

  Kind kind() const { return kind_; }
  int64_t AsSigned() const;
  uint64_t AsUnsigned() const;
  double AsDouble() const;
  std::u16string_view wide() const { return w_; }
  std::string_view narrow() const { return n_; }

 private:
  Kind kind_;
  int64_t i_ = 0;
  uint64_t u_ = 0;
  double d_ = 0;
  std::u16string_view w_;
  std::string_view n_;
};

std::u16string FormatWide(std::u16string_view format, std::initializer_list<FormatArg> args);
std::string FormatNarrow(std::string_view format, std::initializer_list<FormatArg> args);

// Format(u"Error Code %d\n%ls", code, text) and Format("vclient-%u", tick).
template <typename... Args>
std::u16string Format(std::u16string_view format, const Args&... args) {
  return FormatWide(format, {FormatArg(args)...});
}
template <typename... Args>
std::string Format(std::string_view format, const Args&... args) {
  return FormatNarrow(format, {FormatArg(args)...});
}

}  // namespace VendraText
