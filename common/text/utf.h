#pragma once

#include <string>
#include <string_view>

// Conversions between the program's wide text (UTF-16 code units, on every
// platform) and the narrow UTF-8 text used on the wire and in files.
//
// Both directions are lenient, like the system's UTF-8 code page: an invalid
// or truncated UTF-8 sequence and an unpaired surrogate each become U+FFFD.
// Embedded zero code units pass through unchanged.
namespace VendraText {

// UTF-8 to wide text.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Wide text to UTF-8.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appending forms, for callers that build text in one buffer.
void AppendUtf8AsUtf16(std::u16string& out, std::string_view utf8);
// Appends utf16 to out as UTF-8.
void AppendUtf16AsUtf8(std::string& out, std::u16string_view utf16);

// Encodes one code point (U+0000..U+10FFFF, surrogates excluded by callers).
void AppendCodePointUtf8(std::string& out, char32_t cp);
// Appends cp to out as one or two UTF-16 code units.
void AppendCodePointUtf16(std::u16string& out, char32_t cp);

// ASCII-only case folding, independent of the process locale.
char16_t AsciiLower(char16_t c);
// Whether a and b are equal when ASCII letters are folded to lower case.
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);
// The same for UTF-8 text.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace VendraText
