#pragma once

#include <string_view>

namespace VendraPlatform {

// A modal message box with one OK button and no icon.
class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual void Show(std::u16string_view caption, std::u16string_view text) = 0;
};

IMessageBox& SystemMessageBox();

}  // namespace VendraPlatform
