#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "common/memory/ref_ptr.h"
#include "json/object.h"

namespace VendraClient {

// A name given either as UTF-8 text or as wide text.
using NameText = std::variant<std::string, std::u16string>;

// The facts of one crash, as the host program's crash handler has them.
struct CrashFacts {
  // The product's name.
  std::string project;
  // The product's version text.
  std::string version;
  // The product's build number.
  uint32_t build = 0;
  // The crashed program's file.
  NameText executable;
  // The program file's time stamp.
  int64_t executableTime = 0;
  // The module (program or library) the crash happened in.
  NameText module;
  // The crash's address, relative to the module's start.
  int64_t addressInModule = 0;
  // The exception or signal code.
  int64_t exception = 0;
  // The handler's own account of the crash, as free text.
  std::string report;
};

// The report object, keys in their fixed order. A UTF-8 text that is not
// valid UTF-8 leaves its key out rather than sending a text nobody wrote.
Vendra::RefPtr<VendraJSON::VSJObject> MakeCrashReport(const CrashFacts& facts);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or
// values above U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace VendraClient
