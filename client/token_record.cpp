#include "client/token_record.h"

#include <string>

#include "client/shared_memory_channel.h"
#include "json/object.h"
#include "json/parser.h"
#include "platform/process.h"

namespace VendraClient {

using VendraJSON::VSJObject;

namespace {
constexpr char16_t kTokenKey[] = u"access_token";
constexpr char16_t kExpiresAtKey[] = u"expires_at";
constexpr char16_t kExpiresInKey[] = u"expires_in";
}  // namespace

bool TokenRecord::IsValid() const {
  return !token_.empty() && expiry_ != 0 && VendraPlatform::NowUnixSeconds() < expiry_;
}

bool TokenRecord::ExpiresLater() const {
  return expiry_ != 0 && VendraPlatform::NowUnixSeconds() < expiry_;
}

void TokenRecord::Clear() {
  token_.clear();
  expiry_ = 0;
}

bool TokenRecord::ReadFrom(const VSJObject* object) {
  if (!object) return false;
  std::string text;
  if (object->GetStringA(kTokenKey, text)) token_ = std::move(text);
  int64_t expiry = 0;
  if (object->GetInteger(kExpiresAtKey, expiry)) {
    expiry_ = expiry;
  } else if (object->GetInteger(kExpiresInKey, expiry)) {
    expiry_ = VendraPlatform::NowUnixSeconds() + expiry;
  } else {
    // Neither: the token expires now, so it is not valid.
    expiry_ = VendraPlatform::NowUnixSeconds();
  }
  return true;
}

bool TokenRecord::ReadFrom(const VSJObject* object, std::u16string_view key) {
  if (!object) return false;
  if (key.empty()) return ReadFrom(object);
  Vendra::RefPtr<VSJObject> member;
  if (!object->GetObject(key, member.Receive())) return false;
  return ReadFrom(member.get());
}

Vendra::RefPtr<VSJObject> TokenRecord::ToObject() const {
  auto object = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  object->SetStringA(kTokenKey, std::string_view(token_));
  object->SetInteger(kExpiresAtKey, expiry_);
  return object;
}

void TokenRecord::WriteTo(VSJObject* object, std::u16string_view key) const {
  if (!object) return;
  object->Set(key, ToObject().get());
}

bool TokenRecord::LoadFromChannel() {
  if (!channel_) return false;
  char buffer[SharedMemoryChannel::kSize] = {};
  channel_->Read(buffer);
  buffer[sizeof buffer - 1] = '\0';
  Vendra::RefPtr<VSJObject> object;
  std::u16string error;
  if (!VendraJSON::ParseObjectA(buffer, object.Receive(), error)) return false;
  return ReadFrom(object.get());
}

bool TokenRecord::SaveToChannel() const {
  if (!channel_) return false;
  std::string text;
  ToObject()->WriteJSONA(text, false, 0, "");
  // The zero byte ends the text for the readers.
  const auto length = static_cast<uint32_t>(text.size() + 1);
  return channel_->Write(text.c_str(), length) == length;
}

}  // namespace VendraClient
