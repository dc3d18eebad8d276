#pragma once

#include <string>

namespace VendraJSON {
class VSJValue;
}

namespace VendraBuild {

// The one text a signature covers, written from the parsed value so that any
// layout the service's JSON round trip gives the same bytes:
// - objects: members sorted by the UTF-8 bytes of their keys (the same order
//   as Unicode code points), "key":value joined by ",", no white space;
// - arrays: values joined by ",";
// - strings: UTF-8; `"` and `\` escaped, U+0008, U+0009, U+000A, U+000C and
//   U+000D as \b \t \n \f \r, the other code points below U+0020 as \u00xx
//   (lower-case hex), everything else as it is;
// - integers in decimal; true, false, null.
// Numbers with a fraction or exponent and strings holding an unpaired
// surrogate have no canonical form: false, with the reason in error.
bool CanonicalJson(const VendraJSON::VSJValue* value, std::string& out, std::u16string& error);

}  // namespace VendraBuild
