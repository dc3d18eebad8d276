// Systems without a desktop of ours show progress on the terminal instead.
#include "ui/progress_window.h"

namespace VendraUi {

bool RunInProgressWindow(std::u16string_view, const std::function<int(IProgressFeed&)>&, void*,
                         int&, uint32_t& lastError) {
  lastError = 0;
  return false;
}

}  // namespace VendraUi
