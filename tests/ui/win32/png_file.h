#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace VendraUiTest {

// Writes 8-bit RGB pixels (rows top to bottom, 3 bytes a pixel) as a PNG
// file; false when the file cannot be written.
bool WritePng(const std::wstring& path, uint32_t width, uint32_t height,
              const std::vector<uint8_t>& rgb);

}  // namespace VendraUiTest
