#include "client/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using VendraClient::Md5Text;

struct Vector {
  std::string input;
  const char* digest;
};

TEST(Md5, ReferenceSuite) {
  const Vector vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Vector& v : vectors) EXPECT_EQ(Md5Text(v.input), v.digest) << '"' << v.input << '"';
}

// Lengths around the padding boundary: 55 bytes pad within one block, 56 need
// a second one, and 64 fill a block exactly.
TEST(Md5, PaddingBoundaries) {
  const Vector vectors[] = {
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(57, 'a'), "652b906d60af96844ebd21b674f35e93"},
      {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
  };
  for (const Vector& v : vectors) EXPECT_EQ(Md5Text(v.input), v.digest) << v.input.size();
}

TEST(Md5, PiecewiseAddingGivesTheSameDigest) {
  std::string message;
  for (int i = 0; i < 300; ++i) message.push_back(static_cast<char>(i * 7 + 3));
  const std::string whole = Md5Text(message);
  for (size_t step : {1u, 3u, 63u, 64u, 65u, 130u}) {
    VendraClient::Md5State state;
    VendraClient::Md5Start(state);
    for (size_t at = 0; at < message.size(); at += step)
      VendraClient::Md5Add(state, message.data() + at, std::min(step, message.size() - at));
    EXPECT_EQ(VendraClient::Md5DigestText(VendraClient::Md5Finish(state)), whole) << step;
  }
}

TEST(Md5, TextKeepsLeadingZeros) {
  // An input whose digest begins with four zero bytes.
  EXPECT_EQ(Md5Text("jk8ssl"), "0000000018e6137ac2caab16074784a6");
}

}  // namespace
