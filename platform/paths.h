#pragma once

#include <string>
#include <string_view>

// Path text rules shared by every platform. The system's relative paths are
// written with backslashes ("utils\\VendraBuild.exe"); both separators are
// accepted everywhere and the platform's own separator is written.
namespace VendraPlatform {

extern const char16_t kPathSeparator;

bool IsPathSeparator(char16_t c);

// The path-append rule: one separator between base and more (a leading
// separator of more is dropped), separators in more turned into the
// platform's own, and a trailing separator of more kept. An empty more gives
// base unchanged; an empty base gives more.
std::u16string PathAppend(std::u16string_view base, std::u16string_view more);

// path with each separator (either kind) turned into the platform's own, as
// a person reading it on this system expects.
std::u16string WithOwnSeparators(std::u16string_view path);

// base + separator + name, without any rewriting of name.
std::u16string JoinFileName(std::u16string_view folder, std::u16string_view name);

// The text before the last separator (either kind); empty when there is none.
std::u16string_view FolderOf(std::u16string_view path);

// True when a name taken from outside (a reply, a manifest) stays below the
// folder it is joined to: not empty, not absolute, no drive or root prefix,
// no "." or ".." segment, no control characters.
bool IsContainedRelativePath(std::u16string_view relative);

// True when the two names reach the same file as this system's file system
// compares names: whatever their letter case on Windows, exactly elsewhere.
bool SameFileName(std::u16string_view a, std::u16string_view b);

}  // namespace VendraPlatform
