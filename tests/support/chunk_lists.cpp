#include "tests/support/chunk_lists.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/text/utf.h"
#include "json/array.h"
#include "packagemanager/publisher/chunk_store.h"

namespace VendraTest {

bool AddChunkLists(const std::string& root, const std::string& product,
                   const std::string& branch, const std::string& version,
                   const std::function<const std::string&(const std::string& name)>& contentOf,
                   const std::string& scratch, std::string& failure) {
  const std::string buildPath =
      root + "/catalogue/" + product + "/" + branch + "/" + version + "/build.json";
  nlohmann::json build;
  {
    std::ifstream in(buildPath);
    build = nlohmann::json::parse(in, nullptr, false);
  }
  if (!build.is_object()) {
    failure = "no build at " + buildPath;
    return false;
  }
  VendraCatalogue::ChunkStore store;
  std::u16string error;
  std::vector<std::vector<VendraCatalogue::StoredChunk>> chunks;
  bool stored = store.Open(VendraText::Utf8ToUtf16(root), product, error);
  for (auto& entry : build["data"]["files"]) {
    if (!stored) break;
    {
      std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
      const std::string& content = contentOf(entry["filename"]);
      out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    chunks.emplace_back();
    stored = store.AddFile(VendraText::Utf8ToUtf16(scratch), entry["size"], entry["sha256"],
                           chunks.back(), error);
  }
  std::filesystem::remove(scratch);
  if (!stored || !store.Finish(error)) {
    failure = VendraText::Utf16ToUtf8(error);
    return false;
  }
  for (size_t i = 0; i < chunks.size(); ++i) {
    std::string text;
    store.ListOf(chunks[i])->WriteJSONA(text, false, 0, "\n");
    build["data"]["files"][i]["chunks"] = nlohmann::json::parse(text);
  }
  const std::string partial = buildPath + ".partial";
  std::ofstream(partial, std::ios::binary | std::ios::trunc) << build.dump();
  std::filesystem::rename(partial, buildPath);
  return true;
}

}  // namespace VendraTest
