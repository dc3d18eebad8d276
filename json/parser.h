#pragma once

#include <cstddef>
#include <string>

namespace VendraJSON {

class VSJObject;
class VSJValue;

// Objects and arrays nested deeper than this fail to parse, so that hostile
// input cannot exhaust the stack of the parser, the writers or Release.
constexpr unsigned kMaxNestingDepth = 1000;

// JSON text to a value tree, handed out with one reference. Lenient: commas
// are optional, literals ignore case, a few extra escapes are accepted. On
// failure error is replaced by the message (left alone on success).
//
// When a complete value is followed by anything but white space, the value
// is handed out together with false and the message.
bool ParseValue(const char16_t* text, VSJValue** out, std::u16string& error);
// UTF-8 text, a leading byte-order mark skipped; invalid sequences become
// U+FFFD. An empty text fails as one of white space only does.
bool ParseValueA(const char* text, VSJValue** out, std::u16string& error);
// The text must start with '{' (no white space before it) and be an object;
// nothing is handed out on any failure.
bool ParseObject(const char16_t* text, VSJObject** out, std::u16string& error);
// ParseObject on UTF-8 text, as ParseValueA reads it.
bool ParseObjectA(const char* text, VSJObject** out, std::u16string& error);

// The same on texts with a known length; they end at the first code unit 0
// all the same.
bool ParseValue(const char16_t* text, size_t length, VSJValue** out, std::u16string& error);
// ParseValueA on a text with a known length.
bool ParseValueA(const char* text, size_t length, VSJValue** out, std::u16string& error);
// ParseObjectA on a text with a known length.
bool ParseObjectA(const char* text, size_t length, VSJObject** out, std::u16string& error);

}  // namespace VendraJSON
