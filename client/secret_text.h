#pragma once

#include <cstddef>
#include <string>

namespace VendraClient {

// Overwrites memory that held a password or its digest, in a way the
// compiler may not leave out because the memory is about to be freed.
void WipeBytes(void* data, size_t size);
// Wipes the whole buffer of the string (also what lies past its end) and
// empties it.
void WipeText(std::string& text);
void WipeText(std::u16string& text);

}  // namespace VendraClient
