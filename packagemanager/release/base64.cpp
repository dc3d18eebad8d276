#include "packagemanager/release/base64.h"

#include <sodium.h>

namespace VendraBuild {

std::string Base64Encode(std::string_view bytes) {
  constexpr int kVariant = sodium_base64_VARIANT_ORIGINAL;
  std::string out(sodium_base64_encoded_len(bytes.size(), kVariant), '\0');
  sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size(), kVariant);
  out.pop_back();  // the terminating zero the library writes
  return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  bytes.assign(text.size() / 4 * 3, '\0');
  size_t size = 0;
  const char* end = nullptr;
  // No characters to ignore, and the whole text must be used: anything but
  // the one exact encoding is refused, so two texts never mean the same bytes.
  // The library also refuses unused bits that are not zero.
  if (text.size() % 4 != 0 ||
      sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(),
                        text.size(), nullptr, &size, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.data() + text.size()) {
    bytes.clear();
    return false;
  }
  bytes.resize(size);
  return true;
}

std::string HexEncode(std::string_view bytes) {
  std::string out(bytes.size() * 2 + 1, '\0');
  sodium_bin2hex(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                 bytes.size());
  out.pop_back();
  return out;
}

}  // namespace VendraBuild
