#pragma once

#include <string>

#include "client/result.h"
#include "client/transfer.h"
#include "common/memory/ref_ptr.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

// Performs a prepared transfer into memory and interprets the reply: the
// code, the error text, and the reply object when the service sent one
// without an "error" member.
eVClientResult PerformStringRequest(VClientTransfer& transfer,
                                    Vendra::RefPtr<VendraJSON::VSJObject>& reply,
                                    std::u16string& error);

}  // namespace VendraClient
