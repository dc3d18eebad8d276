#include "service/reply_encoding.h"

#include <gtest/gtest.h>

namespace VendraService {
namespace {

TEST(ReplyEncodingTest, GzipIsUsedOnlyWhereTheClientAcceptsIt) {
  const struct {
    const char* acceptEncoding;
    bool gzip;
  } rows[] = {
      {"", false},
      {"gzip", true},
      {"GZip", true},
      {"x-gzip", true},
      {"deflate, gzip, br, zstd", true},
      {"br", false},
      {"identity", false},
      {"gzip;q=0", false},
      {"gzip; q=0.000", false},
      {"gzip;q=0.5", true},
      {"*", true},
      {"*;q=0", false},
      {"gzip;q=0, *", false},
      {"*;q=0, gzip", true},
      {" br ,  gzip ", true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(AcceptsGzip(row.acceptEncoding), row.gzip)
        << "Accept-Encoding: " << row.acceptEncoding;
  }
}

TEST(ReplyEncodingTest, OnlyJsonHeldInMemoryAndNotYetEncodedIsEncoded) {
  ServiceReply json = JsonReply({{"files", std::string(4096, 'a')}});
  ASSERT_TRUE(EncodeForClient(json, "gzip"));
  EXPECT_LT(json.body.size(), 200u);
  EXPECT_EQ(json.body.substr(0, 2), "\x1f\x8b");
  EXPECT_EQ(json.headers.back(), (std::pair<std::string, std::string>("Content-Encoding", "gzip")));

  ServiceReply file;
  file.filePath = "/some/file.z";
  file.contentType = "application/octet-stream";
  EXPECT_FALSE(EncodeForClient(file, "gzip"));

  ServiceReply named = JsonReply({{"a", 1}});
  named.headers.emplace_back("content-encoding", "deflate");
  const std::string body = named.body;
  EXPECT_FALSE(EncodeForClient(named, "gzip"));
  EXPECT_EQ(named.body, body);
}

}  // namespace
}  // namespace VendraService
