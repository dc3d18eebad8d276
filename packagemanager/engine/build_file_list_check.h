#pragma once

#include <string>

#include "common/memory/ref_ptr.h"
#include "json/array.h"
#include "json/object.h"

namespace VendraBuild {

// The build's "data"."files" when it is a list the install can trust to be
// complete: not empty, and every entry an object with a "filename" that
// stays inside the install folder, a "size", a 64-digit "sha256", a
// "compressed_size" and a "compressed_sha256". Otherwise nothing, with a
// text that names the build and the first fault.
Vendra::RefPtr<VendraJSON::VSJArray> CheckedBuildFileList(const VendraJSON::VSJObject* build,
                                                          const std::string& buildName,
                                                          std::u16string& error);

}  // namespace VendraBuild
