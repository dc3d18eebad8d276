#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace VendraJSON {

class VSJValue;

// Reads a UTF-8 JSON file (a leading byte-order mark is skipped, the text
// ends at its first 0 byte) and hands out its value, of any type. Errors:
// "JSON: ..." texts for a file that cannot be opened, is empty or cannot be
// read, else the parser's messages. As with ParseValueA, a complete value
// followed by something else is handed out together with false.
//
// VSJObject::SaveFile is the writing side.
bool LoadFile(std::u16string_view path, VSJValue** out, std::u16string& error);

// LoadFile for a small file of this program's own, read through
// VendraPlatform::ReadSmallFile: only a plain file reached without a link,
// of at most limit bytes; the error then names the file. readError, when
// given, gets the reading's answer (0 when the file was read).
bool LoadSmallFile(std::u16string_view path, size_t limit, VSJValue** out, std::u16string& error,
                   uint32_t* readError = nullptr);

// The same for a file that holds a secret of this process's user, read
// through VendraPlatform::ReadPrivateSmallFile: a file another user owns,
// or one reached through a link, counts as missing.
bool LoadPrivateFile(std::u16string_view path, size_t limit, VSJValue** out,
                     std::u16string& error, uint32_t* readError = nullptr);

}  // namespace VendraJSON
