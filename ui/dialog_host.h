#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ui/dialog_template.h"

namespace VendraUi {

// Whether a message box belongs to the dialog (and blocks it) or stands alone.
enum class MessageOwner { None, Dialog };

// What the dialog logic may do with its window, whatever draws it.
class IDialogHost {
 public:
  virtual ~IDialogHost() = default;

  // The length of a control's text in UTF-16 units.
  virtual size_t TextLength(int id) = 0;
  // Copies at most capacity - 1 units of a control's text and a terminator
  // into buffer; the answer is the number of units copied.
  virtual size_t CopyText(int id, char16_t* buffer, size_t capacity) = 0;
  // Replaces a control's text.
  virtual void SetText(int id, std::u16string_view text) = 0;

  // Combo boxes. AddComboEntry answers the new entry's index, or -1 when it
  // could not be added; SelectedComboEntry answers -1 when none is selected.
  virtual int AddComboEntry(int id, std::u16string_view text) = 0;
  // Keeps data with an entry; false for no such entry.
  virtual bool SetComboItemData(int id, int index, uintptr_t data) = 0;
  // The data kept with an entry (0 when none was kept).
  virtual uintptr_t ComboItemData(int id, int index) = 0;
  // Selects an entry; false for no such entry.
  virtual bool SelectComboEntry(int id, int index) = 0;
  // The selected entry's index, -1 for none.
  virtual int SelectedComboEntry(int id) = 0;

  // Gives a control the keyboard focus.
  virtual void Focus(int id) = 0;
  // Moves the window to a screen position keeping its size, puts it above
  // all other windows and shows it.
  virtual void PlaceOnTop(int x, int y) = 0;
  // A modal box with one OK button.
  virtual void ShowMessage(MessageOwner owner, std::u16string_view caption,
                           std::u16string_view text) = 0;
  // Ends the dialog with a code once the current handler returns.
  virtual void End(int code) = 0;
};

// What a dialog does, written once for every backend.
class IDialogLogic {
 public:
  virtual ~IDialogLogic() = default;
  // Runs when the window has been made; true when it gave the keyboard focus
  // to a control itself.
  virtual bool OnInit(IDialogHost& host) = 0;
  // A button (by control ID); Enter arrives as kIdOk, Escape and the close
  // box as kIdCancel.
  virtual void OnCommand(IDialogHost& host, int id) = 0;
};

// Shows dialogs modally on the calling thread.
class IDialogBackend {
 public:
  virtual ~IDialogBackend() = default;
  // Runs the dialog until its logic ends it. False, with the system's error
  // number, when no window could be made. module is the program module
  // that holds the dialog resources (null for the running program).
  virtual bool Run(const DialogTemplate& dialog, IDialogLogic& logic, void* module,
                   uint32_t& lastError) = 0;
};

// The backend for this system: real windows where there is a desktop, the
// terminal elsewhere.
IDialogBackend& SystemDialogBackend();

}  // namespace VendraUi
