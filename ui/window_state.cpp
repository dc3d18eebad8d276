#include "ui/window_state.h"

namespace VendraUi {

WindowState& LoginWindowState() {
  static WindowState* const state = new WindowState;
  return *state;
}

WindowState& DeviceAuthorizationWindowState() {
  static WindowState* const state = new WindowState;
  return *state;
}

}  // namespace VendraUi
