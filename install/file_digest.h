#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "install/sha256.h"

namespace VendraClient {

// The SHA-256 text of a whole file. False when the file cannot be opened or
// read in full, and for an empty file.
bool GetFileDigest(std::u16string_view path, std::string& digestText,
                   Sha256Path sha256Path = Sha256Path::Best);

// Answers of VerifyFile.
enum : int {
  kVerifyFileMatches = 0,
  kVerifyFileNoExpectedDigest = -1,
  kVerifyFileCannotOpen = -2,
  kVerifyFileSizeDiffers = -3,
  kVerifyFileCannotRead = -4,
  kVerifyFileDigestDiffers = -5,
};

// Compares a file with an expected size and digest text (letter case does not
// matter). A non-zero sizeCache and a non-empty digestCache are trusted instead
// of the file's length and content; those that are not given are filled in, so
// the caller can record them and spare the next check the hashing.
int VerifyFile(std::u16string_view path, uint32_t expectedSize, uint32_t& sizeCache,
               std::string_view expectedDigest, std::string& digestCache);

}  // namespace VendraClient
