#pragma once

#include <string>

#include "async/v_async.h"
#include "client/result.h"

namespace VendraBuild {

// Starts a made job with a listener that prints its progress under label,
// waits for it, and hands back its final status and error text. The job's
// reference is released.
VendraClient::eVClientResult RunJob(VendraClient::VAsync* job, const std::string& label,
                                    uint64_t expectedBytes, std::u16string& error);

}  // namespace VendraBuild
