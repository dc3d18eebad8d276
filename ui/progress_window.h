#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace VendraUi {

// What the progress window shows at one moment.
struct ProgressView {
  std::u16string step;     // what is being done
  std::u16string file;     // the file at hand, or empty
  std::u16string figures;  // the amounts: percentage, bytes, rate, time left
  int permille = 0;        // the bar, 0 to 1000
};

// The work's side of the progress window. Every call may come from any
// thread and returns at once.
class IProgressFeed {
 public:
  virtual ~IProgressFeed() = default;
  // A view not drawn yet is replaced by a later one.
  virtual void Show(const ProgressView& view) = 0;
  // True from the moment the person pressed Cancel or closed the window.
  virtual bool CancelRequested() = 0;
};

// Shows the progress window with caption on the calling thread while work
// runs on a thread of its own; the window closes when work returns, and
// result is work's answer. False, with the system's error number (0 where
// the system has no such window), when no window could be shown: work has
// not run then.
bool RunInProgressWindow(std::u16string_view caption,
                         const std::function<int(IProgressFeed&)>& work, void* module,
                         int& result, uint32_t& lastError);

}  // namespace VendraUi
