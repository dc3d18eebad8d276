#include <fstream>
#include <random>

#include "tests/service/service_fixture.h"

namespace VendraTest {
namespace {

class CatalogueTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    std::tie(access_, local_) = SignInAuthorised();
    ASSERT_FALSE(local_.empty());
    WriteServiceFile(root_.path(), "catalogue/TDY/builds.json", R"({"live":{"version":"1.2.3"}})");
    WriteServiceFile(root_.path(), "catalogue/TDY/main/1.2.3/build.json",
                     R"({"software":"TDY","branch":"main","version":"1.2.3","data":{"files":[]}})");
    WriteServiceFile(root_.path(), "catalogue/TDY/main/1.2.3/files/bin/app.exe.z", "compressed");
    WriteServiceFile(root_.path(), "utilities/vendrabuild/manifest.json",
                     R"({"name":"vendrabuild","filename":"VendraBuild.exe"})");
    WriteServiceFile(root_.path(), "utilities/vendrabuild/VendraBuild.exe.z", "utility bytes");
    WriteServiceFile(root_.path(), "secret.txt", "outside the catalogue");
    WriteServiceFile(root_.path(), "chunks/TDY/0a1b.pack", "0123456789");
  }
  std::vector<std::pair<std::string, std::string>> Auth() const {
    return {{"access_token", access_}, {"local_id", kDevice}, {"local_token", local_}};
  }
  HttpReply Download(const std::string& filename, const std::string& version = "1.2.3",
                     const std::string& range = "") {
    auto fields = Auth();
    fields.insert(fields.end(), {{"software", "TDY"},
                                 {"branch", "main"},
                                 {"version", version},
                                 {"filename", filename}});
    return PostForm(service_->url() + "vclient/download", service_->caFile(), fields, 30, range);
  }
  HttpReply DownloadPack(const std::string& pack, const std::string& range = "",
                         const std::string& software = "TDY") {
    auto fields = Auth();
    fields.insert(fields.end(), {{"software", software}, {"pack", pack}});
    return PostForm(service_->url() + "vclient/download", service_->caFile(), fields, 30, range);
  }

  std::string access_;
  std::string local_;
};

TEST_F(CatalogueTest, BuildListNeedsOnlyTheAccessToken) {
  const HttpReply reply =
      Post("vclient/builds", {{"p", "TDY"}, {"v", "Tandory Installer 1.00"}, {"n", "0"},
                              {"access_token", access_}});
  ASSERT_EQ(reply.status, 200);
  EXPECT_EQ(Json(reply)["live"]["version"], "1.2.3");
  EXPECT_EQ(Post("vclient/builds", {{"p", "NOPE"}, {"access_token", access_}}).status, 404);
}

TEST_F(CatalogueTest, BuildAndUtility) {
  auto build = Auth();
  build.insert(build.end(), {{"p", "TDY"}, {"b", "main"}, {"v", "1.2.3"}});
  const HttpReply reply = Post("vclient/build", build);
  ASSERT_EQ(reply.status, 200);
  EXPECT_EQ(Json(reply)["data"]["files"], nlohmann::json::array());

  auto missing = Auth();
  missing.insert(missing.end(), {{"p", "TDY"}, {"b", "main"}, {"v", "9.9"}});
  const HttpReply unknown = Post("vclient/build", missing);
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(Json(unknown).value("error", ""), "Unknown build");

  auto utility = Auth();
  utility.emplace_back("u", "vendrabuild");
  EXPECT_EQ(Json(Post("vclient/utility", utility)).value("name", ""), "vendrabuild");
}

TEST_F(CatalogueTest, DownloadsBuildAndUtilityFiles) {
  const HttpReply file = Download("bin\\app.exe");
  EXPECT_EQ(file.status, 200);
  EXPECT_EQ(file.body, "compressed");
  EXPECT_EQ(Download("bin/app.exe").body, "compressed");

  auto utility = Auth();
  utility.emplace_back("utility", "vendrabuild");
  const HttpReply reply = Post("vclient/download", utility);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, "utility bytes");
}

TEST_F(CatalogueTest, DownloadRefusesNamesOutsideTheCatalogue) {
  for (const char* name : {"../../../../secret.txt", "bin/../../files/bin/app.exe", "/etc/passwd",
                           "", "missing"}) {
    const HttpReply reply = Download(name);
    EXPECT_EQ(reply.status, 404) << name;
    EXPECT_EQ(Json(reply).value("error", ""), "File not found") << name;
  }
  EXPECT_EQ(Download("bin/app.exe", "..").status, 404);
  // A chunk pack is one safe name inside the product's chunk store.
  for (const auto& [software, pack] :
       std::initializer_list<std::pair<const char*, const char*>>{
           {"TDY", "../../secret"}, {"TDY", "a/0a1b"}, {"TDY", ""}, {"TDY", "missing"},
           {"..", "TDY/0a1b"}, {"", "0a1b"}}) {
    const HttpReply reply = DownloadPack(pack, "", software);
    EXPECT_EQ(reply.status, 404) << software << " " << pack;
    EXPECT_EQ(Json(reply).value("error", ""), "File not found") << pack;
  }
}

TEST_F(CatalogueTest, DownloadServesByteRanges) {
  WriteServiceFile(root_.path(), "catalogue/TDY/main/1.2.3/files/digits.z", "0123456789");
  struct Case {
    const char* range;
    long status;
    const char* contentRange;
    const char* body;
  };
  for (const Case& c : {Case{"0-", 206, "bytes 0-9/10", "0123456789"},
                        Case{"3-5", 206, "bytes 3-5/10", "345"},
                        Case{"7-100", 206, "bytes 7-9/10", "789"},
                        Case{"-4", 206, "bytes 6-9/10", "6789"},
                        Case{"-40", 206, "bytes 0-9/10", "0123456789"},
                        Case{"10-", 416, "bytes */10", nullptr},
                        Case{"50-60", 416, "bytes */10", nullptr},
                        Case{"1-2,4-5", 200, "", "0123456789"}}) {
    // A build file and a chunk pack of the same bytes answer alike.
    for (const HttpReply& reply : {Download("digits", "1.2.3", c.range), DownloadPack("0a1b", c.range)}) {
      EXPECT_EQ(reply.status, c.status) << c.range;
      EXPECT_EQ(reply.contentRange, c.contentRange) << c.range;
      if (c.body) EXPECT_EQ(reply.body, c.body) << c.range;
      else EXPECT_FALSE(Json(reply).value("error", "").empty()) << c.range;
    }
  }
  // Failures are never cut to the range: their error object stays whole.
  const HttpReply missing = Download("absent", "1.2.3", "2-");
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(Json(missing).value("error", ""), "File not found");
}

TEST_F(CatalogueTest, DownloadNeedsAnAuthorisedDevice) {
  const HttpReply reply = Post("vclient/download", {{"access_token", access_},
                                                    {"local_id", kDevice},
                                                    {"utility", "vendrabuild"}});
  EXPECT_EQ(reply.status, 401);
  EXPECT_EQ(Json(reply).value("error", ""), "device auth required");
}

// A large file comes whole and intact, and the service does not hold it in
// memory to send it.
TEST_F(CatalogueTest, LargeDownloadIsStreamedFromDisk) {
  constexpr size_t kSize = 96u << 20;
  const std::string path = root_.Sub("catalogue/TDY/main/1.2.3/files/big.pak.z");
  std::string block(1 << 20, '\0');
  std::mt19937 random(7);
  {
    std::ofstream out(path, std::ios::binary);
    for (size_t written = 0; written < kSize; written += block.size()) {
      for (auto& c : block) c = static_cast<char>(random());
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  const HttpReply reply = Download("big.pak");
  ASSERT_EQ(reply.curlCode, 0);
  ASSERT_EQ(reply.body.size(), kSize);
  EXPECT_EQ(VendraService::Md5Hex(reply.body), VendraService::Md5Hex(ReadTextFile(path)));

  const std::string status = ReadTextFile("/proc/" + std::to_string(service_->pid()) + "/status");
  const size_t at = status.find("VmHWM:");
  ASSERT_NE(at, std::string::npos);
  const long peakKib = std::stol(status.substr(at + 6));
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  // The sanitizers' shadow memory and the address checker's quarantine of
  // freed blocks swell the service's resident size; a whole copy of the file
  // would still take more than the file's size.
  constexpr long kBoundKib = static_cast<long>(kSize / 1024);
#else
  constexpr long kBoundKib = 48 * 1024;
#endif
  EXPECT_LT(peakKib, kBoundKib) << "the service's peak memory suggests the file was loaded whole";
}

TEST_F(CatalogueTest, DataAndCrashReport) {
  WriteServiceFile(root_.path(), "data/motd.json", R"({"message":"hello"})");
  auto data = std::vector<std::pair<std::string, std::string>>{{"p", "motd"}, {"v", "1"}};
  for (const auto& field : Auth()) data.push_back(field);
  const auto reply = Json(Post("vclient/data", data));
  EXPECT_EQ(reply.value("message", ""), "hello");
  EXPECT_EQ(Token(reply, "local_token"), local_);
  EXPECT_FALSE(Token(reply, "refresh_token").empty());

  auto crash = Auth();
  crash.emplace_back("json", R"({"project":"Tandory","build":7})");
  const HttpReply stored = Post("vclient/crashreport", crash);
  ASSERT_EQ(stored.status, 200);
  EXPECT_EQ(Token(Json(stored), "local_token"), local_);
  auto files = std::filesystem::directory_iterator(root_.Sub("crashreports"));
  const auto report = nlohmann::json::parse(ReadTextFile(files->path().string()));
  EXPECT_EQ(report["username"], kUser);
  EXPECT_EQ(report["report"]["build"], 7);

  auto broken = Auth();
  broken.emplace_back("json", "not json");
  EXPECT_EQ(Post("vclient/crashreport", broken).status, 400);
}

}  // namespace
}  // namespace VendraTest
