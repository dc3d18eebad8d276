#pragma once

#include <cstddef>
#include <string>

// Overwriting memory that held a password, a code or a digest, in a way the
// compiler may not leave out even when the memory is about to be freed.
namespace Vendra {

void WipeBytes(void* data, size_t size);
// Wipes the string's whole buffer (also what lies past its end) and empties it.
void WipeText(std::string& text);
void WipeText(std::u16string& text);

}  // namespace Vendra
