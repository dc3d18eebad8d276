#include "client/sign_in_challenge.h"

#include "client/md5.h"
#include "common/memory/wipe.h"
#include "common/text/format.h"

namespace VendraClient {
namespace {

constexpr size_t kLongestIv = 127;
constexpr size_t kLongestDigest = 63;

// MD5 as text, wiping the digest state (it held the input's last block).
std::string Md5TextWiped(std::string_view bytes) {
  Md5State state;
  Md5Start(state);
  Md5Add(state, bytes.data(), bytes.size());
  Md5Digest digest = Md5Finish(state);
  std::string text = Md5DigestText(digest);
  Vendra::WipeBytes(&state, sizeof state);
  Vendra::WipeBytes(digest.data(), digest.size());
  return text;
}

}  // namespace

SignInChallenge MakeSignInChallenge(std::string_view password, bool passwordIsDigest,
                                    uint32_t tickCount) {
  SignInChallenge challenge;
  challenge.iv = VendraText::Format("vclient-%u", tickCount);
  if (challenge.iv.size() > kLongestIv) challenge.iv.resize(kLongestIv);
  std::string digest = passwordIsDigest
                           ? std::string(password.substr(0, kLongestDigest))
                           : Md5TextWiped(password);
  std::string keyInput = challenge.iv + digest;
  challenge.key = Md5TextWiped(keyInput);
  Vendra::WipeText(keyInput);
  Vendra::WipeText(digest);
  return challenge;
}

}  // namespace VendraClient
