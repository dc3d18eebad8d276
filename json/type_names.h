#pragma once

// Type codes every JSON value reports, and their names.
namespace VendraJSON {

constexpr int kTypeNull = 0;     // VSJNull, and an empty holder
constexpr int kTypeObject = 1;   // VSJObject
constexpr int kTypeString = 2;   // VSJString
constexpr int kTypeNumber = 3;   // VSJNumber
constexpr int kTypeArray = 4;    // VSJArray
constexpr int kTypeTrue = 5;     // VSJTrue
constexpr int kTypeFalse = 6;    // VSJFalse
constexpr int kTypeInteger = 7;  // VSJInteger

// "null", "object", ... for codes 0 to 7; null for any other code.
const char* TypeNameA(int type);
// The same as wide text.
const char16_t* TypeName(int type);

}  // namespace VendraJSON
