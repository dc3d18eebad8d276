#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/memory/ref_ptr.h"

namespace VendraJSON {
class VSJArray;
class VSJObject;
}

// Reading the members of a build's file entries, and the one rule for the
// names in them: a name comes from the service, so it is joined to a folder
// of ours only when it stays inside that folder.
namespace VendraClient {

// How long the build client's file operations wait for the session lock.
constexpr uint32_t kBuildClientLockWaitMs = 10000;

// The list's element i when it is an object (a file entry); none otherwise.
Vendra::RefPtr<VendraJSON::VSJObject> EntryAt(const VendraJSON::VSJArray* list, size_t i);

// A member's text; empty when it is missing.
std::u16string EntryText(const VendraJSON::VSJObject* entry, std::u16string_view key);
std::string EntryTextA(const VendraJSON::VSJObject* entry, std::u16string_view key);
// A member's number by its low 32 bits; 0 when it is missing.
uint32_t EntrySize(const VendraJSON::VSJObject* entry, std::u16string_view key);

// The entry's "filename" joined to folder, with suffix appended. False, with
// the reason in error, when the name is empty or could reach outside folder
// (absolute, a drive or root prefix, a ".." segment).
bool EntryPath(const VendraJSON::VSJObject* entry, std::u16string_view folder,
               std::u16string_view suffix, std::u16string& path, std::u16string& error);

}  // namespace VendraClient
