#pragma once

#include <string>

#include "async/v_async.h"
#include "client/result.h"

namespace VendraJSON {
class VSJArray;
}

namespace VendraBuild {

// Starts a made build-wide job over files with a listener that prints each
// file's download progress (a line every few megabytes and one when the file
// is complete), waits for the job, and hands back its final status and error
// text. The job's reference is released.
VendraClient::eVClientResult RunBuildJob(VendraClient::VAsync* job,
                                         const VendraJSON::VSJArray* files,
                                         std::u16string& error);

}  // namespace VendraBuild
