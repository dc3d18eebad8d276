#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Dialog templates as data: one definition per window, from which the
// Windows resource script is generated and every other backend renders.
namespace VendraUi {

// The control ID of labels and other controls nobody addresses.
inline constexpr int kNoControlId = -1;

// What a control is; each backend draws its own kind of control for it.
enum class ControlKind {
  PushButton,
  DefaultPushButton,
  Edit,
  Static,
  ComboBox,
  ProgressBar,
};

// Style bits beyond what the kind implies.
enum ControlStyle : uint32_t {
  kStyleNone = 0,
  kReadOnly = 1u << 0,      // edit box the user cannot change
  kPassword = 1u << 1,      // edit box whose characters are masked
  kAutoHScroll = 1u << 2,   // edit box that scrolls horizontally
  kCentered = 1u << 3,      // static text centred in its rectangle
  kVerticalScroll = 1u << 4,
  kDropDown = 1u << 5,      // combo box with an edit field and a list
  kMultiLine = 1u << 6,     // edit box of several lines
  kWantReturn = 1u << 7,    // multi-line edit box where Enter makes a new line
  kNoPrefix = 1u << 8,      // static text shown as it is: "&" is no keyboard mnemonic
  kPathEllipsis = 1u << 9,  // static text of a path that, too long, loses its middle
};

// Geometry is in dialog units.
struct ControlTemplate {
  int id;                    // the control ID, or kNoControlId
  ControlKind kind;          // what the control is
  std::u16string_view text;  // its initial text
  int x;                     // its left edge in the window
  int y;                     // its top edge in the window
  int width;                 // its width
  int height;                // its height
  uint32_t style;            // ControlStyle bits

  // Whether the style bit s is set.
  bool Has(ControlStyle s) const { return (style & s) != 0; }
  // Whether the control is a push button, default or not.
  bool IsButton() const {
    return kind == ControlKind::PushButton || kind == ControlKind::DefaultPushButton;
  }
};

// A modal pop-up with caption, system menu and modal frame.
struct DialogTemplate {
  int resourceId;                             // the window's ID among the resources
  std::u16string_view caption;                // the title bar's text
  std::u16string_view fontName;               // the face of every control's text
  int pointSize;                              // the size of that face
  int width;                                  // the window's width
  int height;                                 // the window's height
  std::span<const ControlTemplate> controls;  // in the order they are made
  // With a minimise box: a window that stays up while long work runs.
  bool minimizable;

  // The control with that ID, or null (kNoControlId finds none).
  const ControlTemplate* Find(int id) const {
    for (const auto& c : controls)
      if (c.id == id && id != kNoControlId) return &c;
    return nullptr;
  }
};

}  // namespace VendraUi
