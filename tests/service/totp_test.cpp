#include <gtest/gtest.h>

#include "service/digest.h"
#include "service/totp.h"

namespace VendraService {
namespace {

// The SHA-1 rows of the reference table for time-based one-time passwords.
TEST(TotpTest, MatchesReferenceTable) {
  const std::string key = "12345678901234567890";
  const std::pair<int64_t, const char*> rows[] = {{59, "94287082"},
                                                  {1111111109, "07081804"},
                                                  {1111111111, "14050471"},
                                                  {1234567890, "89005924"},
                                                  {2000000000, "69279037"},
                                                  {20000000000, "65353130"}};
  for (const auto& [time, code] : rows) EXPECT_EQ(TotpCode(key, time, 8), code) << time;
  EXPECT_EQ(TotpCode(key, 59), "287082");
}

TEST(TotpTest, AcceptsOneStepEitherSideOnly) {
  const std::string key = "12345678901234567890";
  const std::string code = TotpCode(key, 1111111111);
  EXPECT_TRUE(TotpMatches(key, code, 1111111111 + 30));
  EXPECT_TRUE(TotpMatches(key, code, 1111111111 - 30));
  EXPECT_FALSE(TotpMatches(key, code, 1111111111 + 90));
}

TEST(Base32Test, DecodesAndRejects) {
  EXPECT_EQ(Base32Decode("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"), "12345678901234567890");
  EXPECT_EQ(Base32Decode("mzxw6ytb oi======"), "foobar");
  EXPECT_FALSE(Base32Decode("ABC1").has_value());
}

TEST(DigestTest, Md5OfKnownTexts) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
}  // namespace VendraService
