#pragma once

#include <string>
#include <string_view>

#include "client/result.h"
#include "platform/signature_check.h"

namespace VendraClient {

// Whether the file at path carries a valid, trusted signature: 0, or -1 with
// the reason in error (replacing what it held). error is left alone on success.
eVClientResult VerifySignature(const std::u16string& path, std::u16string& error);

// The judgement of one check's answer for the file at path.
eVClientResult SignatureResult(const VendraPlatform::SignatureCheck& check,
                               std::u16string_view path, std::u16string& error);

}  // namespace VendraClient
