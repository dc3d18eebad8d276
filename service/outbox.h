#pragma once

#include <atomic>
#include <filesystem>
#include <string>

// Mail the service "sends" lands in ROOT/outbox, one file per message, so a
// test (or a person trying the installer) can read the code from it.
namespace VendraService {

class Outbox {
 public:
  explicit Outbox(std::filesystem::path root);
  // Writes a message with the lines "to:", "subject:", "device:" and
  // "code: NNNNNN"; false when the file could not be written.
  bool SendDeviceCode(const std::string& username, const std::string& device,
                      const std::string& code);

 private:
  std::filesystem::path folder_;
  std::atomic<unsigned> sequence_{0};
};

}  // namespace VendraService
