#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

// Strict readers for the members of a signed statement (a build's signature
// member, a key rotation or a key revocation): a member of another type, or
// an empty text, is as good as missing. On failure error says which member,
// as "its \"NAME\" ..." for the caller to put after what it was reading.
bool StatementText(const VendraJSON::VSJObject* statement, std::u16string_view key,
                   std::string& out, std::u16string& error);
bool StatementInteger(const VendraJSON::VSJObject* statement, std::u16string_view key,
                      int64_t& out, std::u16string& error);
// Base64 of exactly size bytes.
bool StatementBytes(const VendraJSON::VSJObject* statement, std::u16string_view key, size_t size,
                    std::string& out, std::u16string& error);
// Whether text is a key id as KeyId writes it: 32 lower-case hex digits.
bool IsKeyId(std::string_view text);
// A key id member.
bool StatementKeyId(const VendraJSON::VSJObject* statement, std::u16string_view key,
                    std::string& out, std::u16string& error);

}  // namespace VendraBuild
