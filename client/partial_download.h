#pragma once

// A download in progress is written beside its target, under the target's
// name followed by this suffix, and renamed onto the target only when whole.
namespace VendraClient {

inline constexpr char16_t kPartialDownloadSuffix[] = u".partial";

}  // namespace VendraClient
