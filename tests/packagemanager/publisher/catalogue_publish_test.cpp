#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>

#include "common/text/utf.h"
#include "packagemanager/publisher/catalogue_listing.h"
#include "packagemanager/publisher/catalogue_publish.h"
#include "json/object.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;

class PublishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_.Sub("src/a/b"));
    WriteTextFile(folder_.Sub("src/a/b/deep.txt"), "deep");
    WriteTextFile(folder_.Sub("src/empty"), "");
    WriteTextFile(folder_.Sub("src/a/naïve файл.txt"), "grüße");
  }

  VendraCatalogue::PublishRequest Request(const std::string& version) const {
    VendraCatalogue::PublishRequest request;
    request.root = VendraText::Utf8ToUtf16(folder_.Sub("root"));
    request.product = "tdy";
    request.branch = "live";
    request.version = version;
    request.buildList = "TDY-UPLINK";
    request.folder = VendraText::Utf8ToUtf16(folder_.Sub("src"));
    return request;
  }

  bool Publish(const VendraCatalogue::PublishRequest& request, std::u16string& error) {
    VendraCatalogue::PublishResult result;
    return VendraCatalogue::Publish(request, nullptr, result, error);
  }

  std::string Live() const {
    return ReadTextFile(folder_.Sub("root/catalogue/TDY-UPLINK/builds.json"));
  }

  TempFolder folder_;
};

TEST_F(PublishTest, HostileNamesAreRefusedBeforeAnythingIsWritten) {
  const std::string longName(65, 'a');
  for (const std::string& bad : std::initializer_list<std::string>{"1.0 beta/../x", "../x", "..", ".hidden", "a/b", "a\\b", "", "x\ny", "C:x", longName}) {
    for (int field = 0; field < 3; ++field) {
      auto request = Request("1.0");
      (field == 0 ? request.product : field == 1 ? request.branch : request.version) = bad;
      std::u16string error;
      EXPECT_FALSE(Publish(request, error)) << bad;
      EXPECT_NE(error.find(u"is not allowed"), std::u16string::npos) << bad;
    }
  }
  // A build list's signature member is no branch.
  auto request = Request("1.0");
  request.branch = "release_signature";
  std::u16string error;
  EXPECT_FALSE(Publish(request, error));
  EXPECT_NE(error.find(u"is not allowed"), std::u16string::npos);
  EXPECT_FALSE(fs::exists(folder_.Sub("root"))) << "nothing may be written for a refused name";
  EXPECT_FALSE(VendraCatalogue::IsSafeCatalogueName("-rf"));
  EXPECT_TRUE(VendraCatalogue::IsSafeCatalogueName("1.4.2-rc1+build_7"));
}

TEST_F(PublishTest, ABuildIsListedOnlyOnceCompleteAndIsNeverRepublished) {
  // Another branch in the list stays as it was.
  fs::create_directories(folder_.Sub("root/catalogue/TDY-UPLINK"));
  WriteTextFile(folder_.Sub("root/catalogue/TDY-UPLINK/builds.json"),
                R"({"beta":{"version":"0.9"}})");

  // A file that cannot be read ends the publish before the build is listed.
  fs::create_symlink(folder_.Sub("nowhere"), folder_.Sub("src/dangling"));
  std::u16string error;
  EXPECT_FALSE(Publish(Request("1.0"), error));
  EXPECT_NE(error.find(u"dangling"), std::u16string::npos) << VendraText::Utf16ToUtf8(error);
  EXPECT_FALSE(fs::exists(folder_.Sub("root/catalogue/tdy/live/1.0/build.json")));
  EXPECT_EQ(Live(), R"({"beta":{"version":"0.9"}})");

  // The rerun finishes the job.
  fs::remove(folder_.Sub("src/dangling"));
  ASSERT_TRUE(Publish(Request("1.0"), error)) << VendraText::Utf16ToUtf8(error);
  VendraCatalogue::Listing listing;
  ASSERT_TRUE(VendraCatalogue::ReadListing(VendraText::Utf8ToUtf16(folder_.Sub("root")), listing));
  ASSERT_EQ(listing.builds.size(), 1u);
  EXPECT_EQ(listing.builds[0].files, 3u);
  EXPECT_EQ(listing.builds[0].bytes, 4u + 7u);
  ASSERT_EQ(listing.branches.size(), 2u);
  EXPECT_EQ(listing.branches[0].branch, "beta");
  EXPECT_EQ(listing.branches[1].branch, "live");
  EXPECT_EQ(listing.branches[1].version, "1.0");
  for (const char* part : {"a/b/deep.txt.z", "empty.z", "a/naïve файл.txt.z"})
    EXPECT_TRUE(fs::exists(folder_.Sub("root/catalogue/tdy/live/1.0/files/") + part)) << part;
  for (const auto& entry : fs::recursive_directory_iterator(folder_.Sub("root")))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();

  // Clients may be fetching a published version: changing it is refused.
  WriteTextFile(folder_.Sub("src/empty"), "no longer empty");
  EXPECT_FALSE(Publish(Request("1.0"), error));
  EXPECT_NE(error.find(u"already published"), std::u16string::npos);

  // A signed list is signed again once it names the new version; without
  // a key to sign it with, nothing is published.
  auto request = Request("1.1");
  std::string signedAs;
  request.signList = [&](VendraJSON::VSJObject* list, const std::string& name, std::u16string&) {
    std::string text;
    list->WriteJSONA(text, false, 0, "\n");
    signedAs = name + " " + text;
    list->SetStringA(u"release_signature", "signed");
    return true;
  };
  ASSERT_TRUE(Publish(request, error)) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(signedAs, R"(TDY-UPLINK {"beta":{"version":"0.9"},"live":{"version":"1.1"}})");
  EXPECT_NE(Live().find("\"release_signature\":\"signed\""), std::string::npos) << Live();
  EXPECT_FALSE(Publish(Request("1.2"), error));
  EXPECT_NE(error.find(u"the build list TDY-UPLINK is signed"), std::u16string::npos)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_FALSE(fs::exists(folder_.Sub("root/catalogue/tdy/live/1.2")));
  EXPECT_NE(Live().find("\"version\":\"1.1\""), std::string::npos) << Live();
}

TEST_F(PublishTest, NamesABuildCannotCarryAreRefusedWithTheirFolder) {
  WriteTextFile(folder_.Sub("src/a/back\\slash"), "x");
  std::u16string error;
  EXPECT_FALSE(Publish(Request("1.0"), error));
  EXPECT_NE(error.find(u"back\\slash"), std::u16string::npos) << VendraText::Utf16ToUtf8(error);
  EXPECT_FALSE(fs::exists(folder_.Sub("root/catalogue/TDY-UPLINK/builds.json")));
}

std::string RandomText(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

// A file rebuilt from its chunk list alone: each chunk read from its pack at
// its offset and expanded, checked against its size and digest.
std::string Rebuilt(const std::string& packs, const nlohmann::json& entry) {
  std::string bytes;
  for (const auto& chunk : entry["chunks"]) {
    std::ifstream pack(packs + "/" + chunk["pack"].get<std::string>() + ".pack",
                       std::ios::binary);
    std::string compressed(chunk["compressed_size"].get<size_t>(), '\0');
    pack.seekg(chunk["offset"].get<std::streamoff>());
    pack.read(compressed.data(), static_cast<std::streamsize>(compressed.size()));
    std::string expanded(chunk["size"].get<size_t>(), '\0');
    uLongf length = expanded.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(expanded.data()), &length,
                         reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()),
              Z_OK);
    EXPECT_EQ(length, expanded.size());
    EXPECT_EQ(Sha256Hex(expanded), chunk["sha256"]);
    bytes += expanded;
  }
  return bytes;
}

TEST_F(PublishTest, AChunkedBuildStoresEachChunkOnceAndItsListsRebuildTheFiles) {
  const std::string big = RandomText(700 * 1024, 1);
  WriteTextFile(folder_.Sub("src/big.bin"), big);
  WriteTextFile(folder_.Sub("src/a/copy of big.bin"), big);
  const std::string packs = folder_.Sub("root/chunks/tdy");
  const auto publish = [&](const std::string& version, bool chunks) {
    auto request = Request(version);
    request.chunks = chunks;
    std::u16string error;
    EXPECT_TRUE(Publish(request, error)) << VendraText::Utf16ToUtf8(error);
    return nlohmann::json::parse(
        ReadTextFile(folder_.Sub("root/catalogue/tdy/live/" + version + "/build.json")));
  };
  // Rows: what is published, how many new chunks its pack may hold.
  std::set<std::string> seenPacks;
  uint64_t storedBefore = 0;
  const struct {
    const char* what;
    const char* version;
    std::string bigContent;
    size_t newChunksAtMost;
  } rows[] = {
      {"first publish: the copy's chunks are the original's", "1.0", big, 100},
      {"the same files again: nothing new stored", "1.1", big, 0},
      {"an edit in the middle: the chunks round it", "1.2",
       big.substr(0, 350000) + "edit" + big.substr(350000), 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    WriteTextFile(folder_.Sub("src/big.bin"), row.bigContent);
    const nlohmann::json build = publish(row.version, true);
    std::map<std::string, std::string> sources = {{"big.bin", row.bigContent},
                                                  {"a\\copy of big.bin", big},
                                                  {"a\\b\\deep.txt", "deep"}};
    const std::set<std::string> packsBefore = seenPacks;
    std::map<std::string, uint64_t> fresh;  // new chunks: digest, compressed size
    size_t listedChunks = 0;
    for (const auto& entry : build["data"]["files"]) {
      const std::string name = entry["filename"];
      ASSERT_TRUE(entry.contains("chunks")) << name;
      EXPECT_EQ(Rebuilt(packs, entry).size(), entry["size"].get<size_t>()) << name;
      if (sources.count(name)) {
        EXPECT_EQ(Rebuilt(packs, entry), sources[name]) << name;
      }
      if (name == "empty") {
        EXPECT_TRUE(entry["chunks"].empty());
      }
      for (const auto& chunk : entry["chunks"]) {
        ++listedChunks;
        seenPacks.insert(chunk["pack"].get<std::string>());
        if (!packsBefore.count(chunk["pack"]))
          fresh[chunk["sha256"]] = chunk["compressed_size"].get<uint64_t>();
      }
    }
    // The store grew by the new chunks, each once, and nothing else; each
    // pack has its list beside it.
    uint64_t stored = 0;
    size_t packCount = 0;
    for (const auto& entry : fs::directory_iterator(packs)) {
      if (entry.path().extension() != ".pack") continue;
      stored += fs::file_size(entry.path());
      ++packCount;
      EXPECT_TRUE(fs::exists(fs::path(entry.path()).replace_extension(".json")));
    }
    EXPECT_EQ(packCount, seenPacks.size());
    uint64_t freshBytes = 0;
    for (const auto& [digest, size] : fresh) freshBytes += size;
    EXPECT_EQ(freshBytes, stored - storedBefore);
    EXPECT_LE(fresh.size(), row.newChunksAtMost);
    if (row.newChunksAtMost > 3) {
      EXPECT_LT(fresh.size(), listedChunks) << "the copy is shared";
    }
    storedBefore = stored;
  }
  // Without chunks the build keeps exactly today's form.
  const nlohmann::json plain = publish("2.0", false);
  for (const auto& entry : plain["data"]["files"]) {
    std::set<std::string> members;
    for (const auto& [key, value] : entry.items()) members.insert(key);
    EXPECT_EQ(members, (std::set<std::string>{"filename", "size", "sha256", "compressed_size",
                                              "compressed_sha256"}));
  }
}

}  // namespace
}  // namespace VendraTest
