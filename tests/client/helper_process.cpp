#include "tests/client/helper_process.h"

namespace VendraTest {

std::string HelperProcess::ReadLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    const size_t end = buffered_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    if (std::chrono::steady_clock::now() >= deadline || !ReadMore(deadline)) return std::string();
  }
}

std::string HelperProcess::Call(const std::string& command, int timeoutMs) {
  if (!Send(command)) return std::string();
  return ReadLine(timeoutMs);
}

}  // namespace VendraTest
