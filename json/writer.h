#pragma once

#include <string>
#include <string_view>

namespace VendraJSON {

class VSJValue;

// Appends the JSON text of a value tree: wide, or UTF-8 for the narrow form.
// Pretty text puts each member or element on its own line, indented by two
// spaces per level, with newline as the line break; the text never ends
// with a line break. Members and elements whose holder is empty write
// nothing (an empty object member is left out entirely).
void AppendJSON(std::u16string& out, const VSJValue& value, bool pretty, unsigned level,
                std::u16string_view newline);
// The UTF-8 form.
void AppendJSON(std::string& out, const VSJValue& value, bool pretty, unsigned level,
                std::string_view newline);

}  // namespace VendraJSON
