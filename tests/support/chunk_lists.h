#pragma once

#include <functional>
#include <string>

namespace VendraTest {

// Gives build.json of PRODUCT BRANCH VERSION in a service root each file's
// chunk list, the chunks stored in the product's packs as the publisher
// stores them. contentOf gives a file's bytes by its name in the build;
// scratch is a file path the bytes pass through. False with the failure.
bool AddChunkLists(const std::string& root, const std::string& product,
                   const std::string& branch, const std::string& version,
                   const std::function<const std::string&(const std::string& name)>& contentOf,
                   const std::string& scratch, std::string& failure);

}  // namespace VendraTest
