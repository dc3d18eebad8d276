// Win32 layer only.
#include "platform/message_box.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

class WindowsMessageBox final : public IMessageBox {
 public:
  void Show(std::u16string_view caption, std::u16string_view text) override {
    const std::wstring wideCaption = Win32::Wide(caption);
    const std::wstring wideText = Win32::Wide(text);
    ::MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK);
  }
};

}  // namespace

IMessageBox& SystemMessageBox() {
  static WindowsMessageBox box;
  return box;
}

}  // namespace VendraPlatform
