#include "common/text/format.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "common/text/utf.h"

namespace VendraText {

int64_t FormatArg::AsSigned() const {
  switch (kind_) {
    case Kind::Signed: return i_;
    case Kind::Unsigned: return static_cast<int64_t>(u_);
    case Kind::Double: return static_cast<int64_t>(d_);
    default: return 0;
  }
}

uint64_t FormatArg::AsUnsigned() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<uint64_t>(i_);
    case Kind::Unsigned: return u_;
    case Kind::Double: return static_cast<uint64_t>(static_cast<int64_t>(d_));
    default: return 0;
  }
}

double FormatArg::AsDouble() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<double>(i_);
    case Kind::Unsigned: return static_cast<double>(u_);
    case Kind::Double: return d_;
    default: return 0;
  }
}

namespace {

enum class Length { Default, Char, Short, Long, Wide64, Narrow, WideText };

struct Conversion {
  bool left = false, zero = false, plus = false, space = false, alt = false;
  int width = 0;
  int precision = -1;
  Length length = Length::Default;
  char conv = 0;
};

// The conversion body is produced as ASCII/UTF-8 first and then widened, so
// one implementation serves both output encodings.
std::string FormatInteger(const Conversion& s, const FormatArg& arg) {
  const bool is64 = s.length == Length::Wide64;
  const bool isSigned = s.conv == 'd' || s.conv == 'i';
  bool negative = false;
  uint64_t magnitude = 0;
  if (isSigned) {
    int64_t v = arg.AsSigned();
    if (!is64) {
      if (s.length == Length::Char) v = static_cast<int8_t>(v);
      else if (s.length == Length::Short) v = static_cast<int16_t>(v);
      else v = static_cast<int32_t>(v);
    }
    negative = v < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  } else {
    uint64_t v = arg.AsUnsigned();
    if (!is64) {
      if (s.length == Length::Char) v = static_cast<uint8_t>(v);
      else if (s.length == Length::Short) v = static_cast<uint16_t>(v);
      else v = static_cast<uint32_t>(v);
    }
    magnitude = v;
  }
  int base = 10;
  if (s.conv == 'x' || s.conv == 'X') base = 16;
  if (s.conv == 'o') base = 8;
  char digits[32];
  auto res = std::to_chars(digits, digits + sizeof digits, magnitude, base);
  std::string body(digits, res.ptr);
  if (s.conv == 'X')
    for (char& c : body)
      if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 32);
  if (s.precision >= 0) {
    if (s.precision == 0 && magnitude == 0) body.clear();
    if (static_cast<int>(body.size()) < s.precision)
      body.insert(0, static_cast<size_t>(s.precision) - body.size(), '0');
  }
  std::string prefix;
  if (negative) prefix = "-";
  else if (isSigned && s.plus) prefix = "+";
  else if (isSigned && s.space) prefix = " ";
  if (s.alt && magnitude != 0) {
    if (s.conv == 'x') prefix += "0x";
    if (s.conv == 'X') prefix += "0X";
    if (s.conv == 'o' && (body.empty() || body[0] != '0')) body = "0" + body;
  }
  const bool zeroPad = s.zero && !s.left && s.precision < 0;
  const int len = static_cast<int>(prefix.size() + body.size());
  if (zeroPad && len < s.width) body.insert(0, static_cast<size_t>(s.width - len), '0');
  return prefix + body;
}

std::string FormatFloat(const Conversion& s, double v) {
  const int precision = s.precision < 0 ? 6 : s.precision;
  std::string prefix;
  if (std::signbit(v)) {
    prefix = "-";
    v = -v;
  } else if (s.plus) {
    prefix = "+";
  } else if (s.space) {
    prefix = " ";
  }
  std::string body;
  if (std::isnan(v) || std::isinf(v)) {
    body = std::isnan(v) ? "nan" : "inf";
    if (s.conv >= 'A' && s.conv <= 'Z')
      for (char& c : body) c = static_cast<char>(c - 32);
    return prefix + body;
  }
  std::chars_format fmt = std::chars_format::fixed;
  if (s.conv == 'e' || s.conv == 'E') fmt = std::chars_format::scientific;
  if (s.conv == 'g' || s.conv == 'G') fmt = std::chars_format::general;
  std::vector<char> buf(static_cast<size_t>(precision) + 350);
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v, fmt,
                           fmt == std::chars_format::general && precision == 0 ? 1 : precision);
  body.assign(buf.data(), res.ptr);
  if (s.alt && precision == 0 && fmt == std::chars_format::fixed) body += '.';
  if (s.conv == 'E' || s.conv == 'G' || s.conv == 'F')
    for (char& c : body)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  const int len = static_cast<int>(prefix.size() + body.size());
  if (s.zero && !s.left && len < s.width) body.insert(0, static_cast<size_t>(s.width - len), '0');
  return prefix + body;
}

template <typename Char>
struct Output;

template <>
struct Output<char16_t> {
  std::u16string text;
  void Ascii(std::string_view s) { AppendUtf8AsUtf16(text, s); }
  void Unit(char16_t c) { text.push_back(c); }
  void Wide(std::u16string_view s) { text.append(s); }
  void Narrow(std::string_view s) { AppendUtf8AsUtf16(text, s); }
  void Pad(size_t n) { text.append(n, u' '); }
  size_t Size() const { return text.size(); }
  void Insert(size_t at, size_t n) { text.insert(at, n, u' '); }
};

template <>
struct Output<char> {
  std::string text;
  void Ascii(std::string_view s) { text.append(s); }
  void Unit(char16_t c) { AppendUtf16AsUtf8(text, std::u16string_view(&c, 1)); }
  void Wide(std::u16string_view s) { AppendUtf16AsUtf8(text, s); }
  void Narrow(std::string_view s) { text.append(s); }
  void Pad(size_t n) { text.append(n, ' '); }
  size_t Size() const { return text.size(); }
  void Insert(size_t at, size_t n) { text.insert(at, n, ' '); }
};

template <typename Char>
std::basic_string<Char> FormatImpl(std::basic_string_view<Char> f,
                                   std::initializer_list<FormatArg> args) {
  constexpr bool kWideOutput = std::is_same_v<Char, char16_t>;
  Output<Char> out;
  out.text.reserve(f.size() + 16 * args.size());
  auto next = args.begin();
  auto take = [&]() -> const FormatArg* { return next == args.end() ? nullptr : &*next++; };
  size_t i = 0;
  while (i < f.size()) {
    const Char c = f[i];
    if (c != Char('%') || i + 1 >= f.size()) {
      if constexpr (kWideOutput) out.Unit(c);
      else out.text.push_back(c);
      ++i;
      continue;
    }
    const size_t start = i++;
    Conversion s;
    for (; i < f.size(); ++i) {
      const Char fl = f[i];
      if (fl == Char('-')) s.left = true;
      else if (fl == Char('0')) s.zero = true;
      else if (fl == Char('+')) s.plus = true;
      else if (fl == Char(' ')) s.space = true;
      else if (fl == Char('#')) s.alt = true;
      else break;
    }
    if (i < f.size() && f[i] == Char('*')) {
      const FormatArg* a = take();
      s.width = a ? static_cast<int>(a->AsSigned()) : 0;
      if (s.width < 0) {
        s.left = true;
        s.width = -s.width;
      }
      ++i;
    }
    while (i < f.size() && f[i] >= Char('0') && f[i] <= Char('9'))
      s.width = s.width * 10 + static_cast<int>(f[i++] - Char('0'));
    if (i < f.size() && f[i] == Char('.')) {
      ++i;
      s.precision = 0;
      if (i < f.size() && f[i] == Char('*')) {
        const FormatArg* a = take();
        s.precision = a ? static_cast<int>(a->AsSigned()) : 0;
        if (s.precision < 0) s.precision = -1;
        ++i;
      }
      while (i < f.size() && f[i] >= Char('0') && f[i] <= Char('9'))
        s.precision = s.precision * 10 + static_cast<int>(f[i++] - Char('0'));
    }
    auto at = [&](size_t k, char ch) { return i + k < f.size() && f[i + k] == Char(ch); };
    if (at(0, 'I') && at(1, '6') && at(2, '4')) {
      s.length = Length::Wide64;
      i += 3;
    } else if (at(0, 'I') && at(1, '3') && at(2, '2')) {
      i += 3;
    } else if (at(0, 'h') && at(1, 'h')) {
      s.length = Length::Char;
      i += 2;
    } else if (at(0, 'h')) {
      s.length = Length::Short;
      ++i;
    } else if (at(0, 'l') && at(1, 'l')) {
      s.length = Length::Wide64;
      i += 2;
    } else if (at(0, 'l') || at(0, 'w')) {
      s.length = Length::Long;
      ++i;
    } else if (at(0, 'j') || at(0, 'z') || at(0, 't') || at(0, 'I')) {
      s.length = Length::Wide64;
      ++i;
    }
    if (i >= f.size()) {
      for (size_t k = start; k < f.size(); ++k) {
        if constexpr (kWideOutput) out.Unit(f[k]);
        else out.text.push_back(f[k]);
      }
      break;
    }
    const Char conv = f[i++];
    s.conv = static_cast<char>(conv < 128 ? conv : '?');
    if (s.conv == '%') {
      out.Ascii("%");
      continue;
    }
    const size_t fieldStart = out.Size();
    switch (s.conv) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': {
        const FormatArg* a = take();
        if (a) out.Ascii(FormatInteger(s, *a));
        break;
      }
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': {
        const FormatArg* a = take();
        if (a) out.Ascii(FormatFloat(s, a->AsDouble()));
        break;
      }
      case 'c': {
        const FormatArg* a = take();
        if (a) out.Unit(static_cast<char16_t>(a->AsUnsigned()));
        break;
      }
      case 's': {
        const FormatArg* a = take();
        if (!a) break;
        if (a->kind() == FormatArg::Kind::Wide) {
          std::u16string_view w = a->wide();
          if (s.precision >= 0 && static_cast<size_t>(s.precision) < w.size())
            w = w.substr(0, static_cast<size_t>(s.precision));
          out.Wide(w);
        } else if (a->kind() == FormatArg::Kind::Narrow) {
          std::string_view n = a->narrow();
          if (s.precision >= 0 && static_cast<size_t>(s.precision) < n.size())
            n = n.substr(0, static_cast<size_t>(s.precision));
          out.Narrow(n);
        }
        break;
      }
      default:
        // An unknown conversion is copied as written.
        for (size_t k = start; k < i; ++k) {
          if constexpr (kWideOutput) out.Unit(f[k]);
          else out.text.push_back(f[k]);
        }
        continue;
    }
    const size_t fieldLen = out.Size() - fieldStart;
    if (static_cast<size_t>(s.width) > fieldLen) {
      const size_t pad = static_cast<size_t>(s.width) - fieldLen;
      if (s.left) out.Pad(pad);
      else out.Insert(fieldStart, pad);
    }
  }
  return std::move(out.text);
}

}  // namespace

std::u16string FormatWide(std::u16string_view format, std::initializer_list<FormatArg> args) {
  return FormatImpl<char16_t>(format, args);
}

std::string FormatNarrow(std::string_view format, std::initializer_list<FormatArg> args) {
  return FormatImpl<char>(format, args);
}

}  // namespace VendraText
