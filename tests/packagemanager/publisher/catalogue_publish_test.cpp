#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/text/utf.h"
#include "packagemanager/publisher/catalogue_listing.h"
#include "packagemanager/publisher/catalogue_publish.h"
#include "json/object.h"
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

}  // namespace
}  // namespace VendraTest
