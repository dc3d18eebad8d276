#pragma once

// Win32 layer only: the one place that brings in the Windows headers, and the
// conversions between the program's UTF-16 text and the wchar_t text the
// Win32 calls take (wchar_t is UTF-16 on Windows, so they copy code units).

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The shell's headers need windows.h first.
#include <shellapi.h>
#include <shlobj.h>
// Owners and access lists of files and folders.
#include <aclapi.h>
#include <sddl.h>

// The Windows headers name some calls with macros that would rename ours.
#undef DeleteFile
#undef CreateFile
#undef MoveFile

#include <string>
#include <string_view>

namespace VendraPlatform::Win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline std::wstring Wide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string FromWide(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

inline std::u16string FromWide(const wchar_t* text) {
  return text ? FromWide(std::wstring_view(text)) : std::u16string();
}

// The path with every '/' written as '\\': some shell calls take only the
// latter.
inline std::wstring WidePath(std::u16string_view path) {
  std::wstring out = Wide(path);
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  return out;
}

}  // namespace VendraPlatform::Win32
