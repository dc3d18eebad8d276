#include "tests/support/published_build.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <nlohmann/json.hpp>

#include "common/memory/ref_ptr.h"
#include "install/codec.h"
#include "install/vbuffer.h"
#include "tests/support/sha256_hex.h"

namespace VendraTest {

std::string Deflate(const std::string& bytes) {
  auto input = Vendra::RefPtr<VendraClient::VBuffer>::Adopt(new VendraClient::VBuffer());
  std::memcpy(input->Resize(static_cast<int32_t>(bytes.size())), bytes.data(), bytes.size());
  Vendra::RefPtr<VendraClient::VBuffer> output;
  std::u16string error;
  VendraClient::DeflateBuffer(-1, input.get(), output.Receive(), error);
  return std::string(reinterpret_cast<const char*>(output->Data()),
                     static_cast<size_t>(output->Size()));
}

std::string Noise(size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  std::mt19937 random(seed);
  for (auto& c : bytes) c = static_cast<char>(random());
  return bytes;
}

void Pack(std::vector<PublishedFile>& files) {
  for (auto& file : files)
    if (file.packed.empty()) file.packed = Deflate(file.content);
}

void PublishBuild(const std::string& root, const std::string& product, const std::string& branch,
                  const std::string& version, const std::vector<PublishedFile>& files) {
  namespace fs = std::filesystem;
  nlohmann::json list = nlohmann::json::array();
  const std::string base = root + "/catalogue/" + product + "/" + branch + "/" + version;
  for (const auto& file : files) {
    std::string local = file.name;
    for (auto& c : local) c = c == '\\' ? '/' : c;
    const fs::path path = base + "/files/" + local + ".z";
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << file.packed;
    list.push_back({{"filename", file.name},
                    {"size", file.content.size()},
                    {"sha256", Sha256Hex(file.content)},
                    {"compressed_size", file.packed.size()},
                    {"compressed_sha256", Sha256Hex(file.packed)}});
  }
  const nlohmann::json build = {{"software", product}, {"branch", branch}, {"version", version},
                                {"data", {{"files", list}}}};
  fs::create_directories(base);
  std::ofstream(base + "/build.json") << build.dump();
}

}  // namespace VendraTest
