#include "installer/failure_report.h"

#include "common/text/format.h"

namespace VendraInstaller {
namespace {
constexpr char16_t kCaption[] = u"Tandory Installer failed";
// The detail is formatted into a buffer of 2048 characters with its zero.
constexpr size_t kMaxDetail = 2047;
}  // namespace

void FailureReport::Show(std::u16string_view heading, std::u16string_view detail) {
  if (detail.size() > kMaxDetail) detail = detail.substr(0, kMaxDetail);
  box_.Show(kCaption, VendraText::Format(u"%ls\n\n%ls", heading, detail));
}

void FailureReport::ShowFailedCall(std::u16string_view heading, VendraClient::eVClientResult code,
                                   const std::u16string& error) {
  Show(heading, VendraText::Format(u"Error Code %d\n%ls", code, error));
}

}  // namespace VendraInstaller
