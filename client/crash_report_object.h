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
  std::string project;
  std::string version;
  uint32_t build = 0;
  NameText executable;
  int64_t executableTime = 0;
  NameText module;
  int64_t addressInModule = 0;
  int64_t exception = 0;
  std::string report;
};

// The report object, keys in their fixed order. A UTF-8 text that is not
// valid UTF-8 leaves its key out rather than sending a text nobody wrote.
Vendra::RefPtr<VendraJSON::VSJObject> MakeCrashReport(const CrashFacts& facts);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or
// values above U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace VendraClient
