#pragma once

#include <cstdint>
#include <string>

namespace VendraBuild {

// "2026-12-08 06:16:43 UTC".
std::string UtcText(int64_t unixSeconds);

}  // namespace VendraBuild
