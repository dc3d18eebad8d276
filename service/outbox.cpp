#include "service/outbox.h"

#include <chrono>

#include "service/disk.h"

namespace VendraService {

Outbox::Outbox(std::filesystem::path root) : folder_(std::move(root) / "outbox") {}

bool Outbox::SendDeviceCode(const std::string& username, const std::string& device,
                            const std::string& code) {
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  char number[16];
  std::snprintf(number, sizeof number, "%06u", sequence_++);
  const std::string name = std::to_string(millis) + "-" + number + ".txt";
  const std::string message = "to: " + username + "\n" +
                              "subject: Your Vendra Software device authorization code\n" +
                              "device: " + device + "\n" + "code: " + code + "\n";
  return WriteFileReplacing(folder_ / name, message);
}

}  // namespace VendraService
