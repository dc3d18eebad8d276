#pragma once

#include <string>
#include <vector>

namespace VendraTest {

// One file of a build as the catalogue serves it.
struct PublishedFile {
  std::string name;     // the build's name (backslashes)
  std::string content;  // expanded
  std::string packed;   // its ".z": empty until packed
};

// The zlib stream of bytes at zlib's default level, as builds are published.
std::string Deflate(const std::string& bytes);
// Bytes that do not compress, the same for the same seed.
std::string Noise(size_t length, unsigned seed);
// Packs every file that is not packed yet.
void Pack(std::vector<PublishedFile>& files);
// Writes the packed files and build.json of PRODUCT BRANCH VERSION into a
// service root (catalogue/PRODUCT/BRANCH/VERSION), unsigned, listing each
// file's sizes and SHA-256 digests in the given order.
void PublishBuild(const std::string& root, const std::string& product, const std::string& branch,
                  const std::string& version, const std::vector<PublishedFile>& files);

}  // namespace VendraTest
