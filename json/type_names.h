#pragma once

// Type codes every JSON value reports, and their names.
namespace VendraJSON {

constexpr int kTypeNull = 0;
constexpr int kTypeObject = 1;
constexpr int kTypeString = 2;
constexpr int kTypeNumber = 3;
constexpr int kTypeArray = 4;
constexpr int kTypeTrue = 5;
constexpr int kTypeFalse = 6;
constexpr int kTypeInteger = 7;

// "null", "object", ... for codes 0 to 7; null for any other code.
const char* TypeNameA(int type);
const char16_t* TypeName(int type);

}  // namespace VendraJSON
