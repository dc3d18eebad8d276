#include "json/string_value.h"

#include <cstring>

#include "common/text/utf.h"
#include "json/array.h"
#include "json/writer.h"

namespace VendraJSON {
namespace {

std::u16string_view UpToZero(std::u16string_view text) {
  const size_t zero = text.find(u'\0');
  return zero == std::u16string_view::npos ? text : text.substr(0, zero);
}

int CompareFolded(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = VendraText::AsciiLower(a[i]);
    const char16_t y = VendraText::AsciiLower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The other value's text form, empty when it has none.
std::u16string_view OtherText(const VSJValue& other, std::u16string& storage) {
  if (other.Kind() == kTypeString) return static_cast<const VSJString&>(other).Text();
  if (!other.ToString(storage)) storage.clear();
  return storage;
}

}  // namespace

VSJString* VSJString::Create(std::u16string_view text) {
  return Make<VSJString>(text.size() * sizeof(char16_t), text);
}

VSJString* VSJString::CreateUtf8(std::string_view utf8) {
  for (char c : utf8)
    if (static_cast<unsigned char>(c) >= 0x80) return Create(VendraText::Utf8ToUtf16(utf8));
  return CreateAscii(utf8);
}

VSJString* VSJString::CreateAscii(std::string_view ascii) {
  return Make<VSJString>(ascii.size() * sizeof(char16_t), ascii);
}

VSJString::VSJString(std::string_view ascii)
    : VSJValue(kTypeString),
      data_(reinterpret_cast<char16_t*>(this + 1)),
      size_(ascii.size()),
      capacity_(ascii.size()) {
  for (size_t i = 0; i < ascii.size(); ++i) data_[i] = static_cast<unsigned char>(ascii[i]);
}

// Make places the text's room right after the object.
VSJString::VSJString(std::u16string_view text)
    : VSJValue(kTypeString),
      data_(reinterpret_cast<char16_t*>(this + 1)),
      size_(text.size()),
      capacity_(text.size()) {
  if (!text.empty()) std::memcpy(data_, text.data(), text.size() * sizeof(char16_t));
}

VSJString::~VSJString() {
  if (OwnsHeapText()) delete[] data_;
}

void VSJString::SetText(std::u16string_view text) {
  if (text.size() <= capacity_) {
    if (!text.empty()) std::memmove(data_, text.data(), text.size() * sizeof(char16_t));
    size_ = text.size();
    return;
  }
  auto* fresh = new char16_t[text.size()];
  std::memcpy(fresh, text.data(), text.size() * sizeof(char16_t));
  if (OwnsHeapText()) delete[] data_;
  data_ = fresh;
  size_ = capacity_ = text.size();
}

bool VSJString::Clone(VSJValue** out) const {
  *out = Create(Text());
  return true;
}

bool VSJString::ToString(std::u16string& out) const {
  out.assign(data_, size_);
  return true;
}

bool VSJString::ToStringA(std::string& out) const {
  out = VendraText::Utf16ToUtf8(UpToZero(Text()));
  return true;
}

bool VSJString::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                          std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJString::WriteJSONA(std::string& out, bool pretty, unsigned level,
                           std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJString::Compare(const VSJValue* other, int flags, int& result) const {
  if (!other) return false;
  if ((flags & kCompareSameClass) && other->Kind() != kTypeString) return false;
  std::u16string storage;
  const std::u16string_view o = OtherText(*other, storage);
  if (flags & kCompareCaseSensitive) {
    const int c = Text().compare(o);
    result = c < 0 ? -1 : (c > 0 ? 1 : 0);
  } else {
    result = CompareFolded(Text(), o);
  }
  return true;
}

bool VSJString::Equals(const VSJValue* other) const {
  return other && other->Kind() == kTypeString &&
         VendraText::EqualsIgnoreAsciiCase(Text(), static_cast<const VSJString*>(other)->Text());
}

bool VSJString::EqualsLoose(const VSJValue* other) const {
  if (!other) return false;
  std::u16string storage;
  return VendraText::EqualsIgnoreAsciiCase(Text(), OtherText(*other, storage));
}

bool VSJString::Split(char16_t separator, VSJArray** out) const {
  VSJArray* pieces = VSJArray::Create();
  const std::u16string_view text = Text();
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == separator) {
      pieces->AppendAdopted(Create(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  if (start < text.size()) pieces->AppendAdopted(Create(text.substr(start)));
  *out = pieces;
  return true;
}

bool VSJString::SetUTF8(const char* utf8) {
  if (!utf8 || !*utf8) return false;
  SetText(VendraText::Utf8ToUtf16(utf8));
  return true;
}

}  // namespace VendraJSON
