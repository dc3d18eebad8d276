// Token records: the validity rule, the token object in both directions, and
// the access token's trip through the shared memory channel.
#include "client/token_record.h"

#include <string>

#include <gtest/gtest.h>

#include "client/shared_memory_channel.h"
#include "json/object.h"
#include "json/parser.h"
#include "platform/process.h"
#include "tests/client/session_test_root.h"

namespace {

using VendraClient::SharedMemoryChannel;
using VendraClient::TokenRecord;
using VendraJSON::VSJObject;

Vendra::RefPtr<VSJObject> Parse(const char* text) {
  Vendra::RefPtr<VSJObject> object;
  std::u16string error;
  EXPECT_TRUE(VendraJSON::ParseObjectA(text, object.Receive(), error)) << text;
  return object;
}

std::string Compact(const VSJObject& object) {
  std::string text;
  object.WriteJSONA(text, false, 0, "");
  return text;
}

int64_t Now() { return VendraPlatform::NowUnixSeconds(); }

TEST(TokenRecordTest, ValidNeedsTextExpiryAndAFutureExpiry) {
  TokenRecord record;
  EXPECT_FALSE(record.IsValid());
  record.Set("abc", 0);
  EXPECT_FALSE(record.IsValid());
  record.Set("", Now() + 100);
  EXPECT_FALSE(record.IsValid());
  record.Set("abc", Now() - 1);
  EXPECT_FALSE(record.IsValid());
  EXPECT_FALSE(record.ExpiresLater());
  record.Set("abc", Now() + 100);
  EXPECT_TRUE(record.IsValid());
  record.Clear();
  EXPECT_EQ(record.token(), "");
  EXPECT_EQ(record.expiry(), 0);
}

TEST(TokenRecordTest, ReadsExpiresAtExpiresInOrNeither) {
  TokenRecord record;
  ASSERT_TRUE(record.ReadFrom(Parse(R"({"access_token":"t1","expires_at":1234567890123})").get()));
  EXPECT_EQ(record.token(), "t1");
  EXPECT_EQ(record.expiry(), 1234567890123);

  const int64_t before = Now();
  ASSERT_TRUE(record.ReadFrom(Parse(R"({"access_token":"t2","expires_in":3600})").get()));
  EXPECT_GE(record.expiry(), before + 3600);
  EXPECT_LE(record.expiry(), Now() + 3600);
  EXPECT_TRUE(record.IsValid());

  // Neither: the expiry becomes now, so the token is not valid.
  ASSERT_TRUE(record.ReadFrom(Parse(R"({"access_token":"t3"})").get()));
  EXPECT_EQ(record.token(), "t3");
  EXPECT_GE(record.expiry(), before);
  EXPECT_LE(record.expiry(), Now());
  EXPECT_FALSE(record.IsValid());

  // A number is cut toward zero.
  ASSERT_TRUE(record.ReadFrom(Parse(R"({"expires_at":99.9})").get()));
  EXPECT_EQ(record.expiry(), 99);
}

TEST(TokenRecordTest, MissingTextKeepsTheOldTokenWithTheNewExpiry) {
  TokenRecord record;
  record.Set("kept", 5);
  ASSERT_TRUE(record.ReadFrom(Parse(R"({"expires_at":777})").get()));
  EXPECT_EQ(record.token(), "kept");
  EXPECT_EQ(record.expiry(), 777);
}

TEST(TokenRecordTest, ReadsAMemberOrTheObjectItself) {
  const auto reply = Parse(
      R"({"refresh_token":{"access_token":"r","expires_at":42},"odd":"text","access_token":"top"})");
  TokenRecord record;
  record.Set("before", 1);
  EXPECT_FALSE(record.ReadFrom(nullptr, u"refresh_token"));
  EXPECT_FALSE(record.ReadFrom(nullptr));
  EXPECT_FALSE(record.ReadFrom(reply.get(), u"missing"));
  EXPECT_FALSE(record.ReadFrom(reply.get(), u"odd"));
  EXPECT_EQ(record.token(), "before");
  EXPECT_EQ(record.expiry(), 1);
  ASSERT_TRUE(record.ReadFrom(reply.get(), u"refresh_token"));
  EXPECT_EQ(record.token(), "r");
  EXPECT_EQ(record.expiry(), 42);
  ASSERT_TRUE(record.ReadFrom(reply.get(), u""));
  EXPECT_EQ(record.token(), "top");
}

TEST(TokenRecordTest, WritesTheTokenObjectInItsOrder) {
  TokenRecord record;
  record.Set("x\"y", 1700000000);
  EXPECT_EQ(Compact(*record.ToObject()), R"({"access_token":"x\"y","expires_at":1700000000})");
  const auto holder = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  record.WriteTo(holder.get(), u"local_token");
  EXPECT_EQ(Compact(*holder), R"({"local_token":{"access_token":"x\"y","expires_at":1700000000}})");
}

class TokenChannelTest : public VendraTest::MachineRootTest {};

TEST_F(TokenChannelTest, AccessTokenTravelsThroughTheChannel) {
  SharedMemoryChannel writerChannel;
  SharedMemoryChannel readerChannel;
  TokenRecord writer(&writerChannel);
  TokenRecord reader(&readerChannel);
  reader.Set("old", 1);
  // Nothing in the channel yet: the record keeps its value.
  EXPECT_FALSE(reader.LoadFromChannel());
  EXPECT_EQ(reader.token(), "old");

  writer.Set(std::string(200, 'a'), Now() + 600);
  ASSERT_TRUE(writer.SaveToChannel());
  ASSERT_TRUE(reader.LoadFromChannel());
  EXPECT_EQ(reader.token(), std::string(200, 'a'));
  EXPECT_TRUE(reader.IsValid());

  writer.Set("short", Now() + 60);
  ASSERT_TRUE(writer.SaveToChannel());
  ASSERT_TRUE(reader.LoadFromChannel());
  EXPECT_EQ(reader.token(), "short");

  // What is not a token object leaves the record as it is.
  ASSERT_EQ(writerChannel.Write("garbage", 8), 8u);
  EXPECT_FALSE(reader.LoadFromChannel());
  EXPECT_EQ(reader.token(), "short");
}

TEST_F(TokenChannelTest, TokenTooLongForTheChannelIsNotSaved) {
  SharedMemoryChannel channel;
  TokenRecord record(&channel);
  record.Set(std::string(5000, 'b'), Now() + 60);
  EXPECT_FALSE(record.SaveToChannel());
}

}  // namespace
