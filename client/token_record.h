#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "common/memory/ref_ptr.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

class SharedMemoryChannel;

// One token of the session as the service issued it, with its expiry in
// seconds since 1970-01-01 UTC (0: none known). Its exchange form is the
// token object {"access_token": text, "expires_at": seconds}, used in
// replies, in localStorage.json and in the shared memory channel.
class TokenRecord {
 public:
  // channel: the shared memory channel that carries this token (the access
  // token only).
  explicit TokenRecord(SharedMemoryChannel* channel = nullptr) : channel_(channel) {}

  // The one validity rule: a text, an expiry, and now before the expiry.
  bool IsValid() const;
  // Whether the expiry is known and still ahead: what is worth storing.
  bool ExpiresLater() const;
  // Forgets the token and its expiry.
  void Clear();

  // Takes "access_token" (when it is there) and the expiry from "expires_at",
  // else now plus "expires_in", else 0. False only without an object.
  bool ReadFrom(const VendraJSON::VSJObject* object);
  // The same from the member key (the object itself for an empty key); false
  // and unchanged when that member is missing or not an object.
  bool ReadFrom(const VendraJSON::VSJObject* object, std::u16string_view key);
  // The token object of the exchange form.
  Vendra::RefPtr<VendraJSON::VSJObject> ToObject() const;
  // Sets the token object as the member key of object.
  void WriteTo(VendraJSON::VSJObject* object, std::u16string_view key) const;

  // The access token's exchange with the other programs: the channel holds
  // the compact token object followed by a zero byte.
  bool LoadFromChannel();
  // Writes the token object to the channel; false without a channel or when
  // it could not be written.
  bool SaveToChannel() const;

  // The token's text, empty when there is none.
  const std::string& token() const { return token_; }
  // Seconds since 1970-01-01 UTC; 0 when not known.
  int64_t expiry() const { return expiry_; }
  // Replaces the token and its expiry.
  void Set(std::string token, int64_t expiry) {
    token_ = std::move(token);
    expiry_ = expiry;
  }

 private:
  std::string token_;
  int64_t expiry_ = 0;
  SharedMemoryChannel* channel_;
};

}  // namespace VendraClient
