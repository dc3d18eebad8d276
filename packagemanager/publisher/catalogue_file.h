#pragma once

#include <string>

#include "common/memory/ref_ptr.h"
#include "json/object.h"

namespace VendraCatalogue {

// The object a catalogue file (build.json, builds.json, manifest.json) holds,
// or null when the file is missing, unreadable or holds anything else: a
// catalogue being listed or extended treats such a file as absent.
Vendra::RefPtr<VendraJSON::VSJObject> LoadCatalogueObject(const std::u16string& path);

}  // namespace VendraCatalogue
