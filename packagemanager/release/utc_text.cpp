#include "packagemanager/release/utc_text.h"

#include "common/text/format.h"
#include "common/text/utf.h"

namespace VendraBuild {

std::string UtcText(int64_t unixSeconds) {
  int64_t days = unixSeconds / 86400, seconds = unixSeconds % 86400;
  if (seconds < 0) {
    seconds += 86400;
    --days;
  }
  // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return VendraText::Utf16ToUtf8(VendraText::Format(
      u"%04I64d-%02I64d-%02I64d %02I64d:%02I64d:%02I64d UTC", year, month, day, seconds / 3600,
      seconds / 60 % 60, seconds % 60));
}

}  // namespace VendraBuild
