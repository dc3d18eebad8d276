#pragma once

#include <string>

#include "client/result.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

// Turns a collected reply into the request's outcome: an "error" member
// becomes -106 (-113 for "device auth required" in any letter case) with its
// text; a body that is not a JSON object becomes -103 with the body as text
// when the transfer itself succeeded (or was a 400); any other object goes to
// *reply with its reference and code stays.
eVClientResult InterpretReply(eVClientResult code, const std::string& replyText,
                              VendraJSON::VSJObject** reply, std::u16string& error);

}  // namespace VendraClient
