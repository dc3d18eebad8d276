#pragma once

#include <string_view>

#include "service/exchange.h"

// Text replies travel gzip-encoded to a client that accepts it: a build
// object with its chunk lists shrinks to about a quarter.
namespace VendraService {

// Whether an Accept-Encoding value admits gzip: named (or "*") without
// "q=0".
bool AcceptsGzip(std::string_view acceptEncoding);

// Encodes a JSON body held in memory when the client accepts gzip and the
// reply names no encoding of its own; true when it did.
bool EncodeForClient(ServiceReply& reply, std::string_view acceptEncoding);

}  // namespace VendraService
