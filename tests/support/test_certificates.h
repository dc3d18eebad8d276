#pragma once

#include <string>

#include "tests/support/temp_folder.h"

namespace VendraTest {

// A throw-away certificate authority and a server certificate it signed for
// "localhost" (also 127.0.0.1 and ::1), made with the openssl command line.
// The files live in a temporary folder removed with the holder.
class TestCertificates {
 public:
  TestCertificates();
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;

  // One set per test program: making keys costs time.
  static const TestCertificates& Shared();

  bool ok() const { return ok_; }
  const std::string& caFile() const { return caFile_; }
  const std::string& certFile() const { return certFile_; }
  const std::string& keyFile() const { return keyFile_; }

 private:
  TempFolder folder_;
  bool ok_ = false;
  std::string caFile_;
  std::string certFile_;
  std::string keyFile_;
};

}  // namespace VendraTest
