#pragma once

#include <string>

#include "tests/support/temp_folder.h"

namespace VendraTest {

// A throw-away certificate authority and a server certificate it signed for
// "localhost" (also 127.0.0.1 and ::1) or the names given (openssl's
// subjectAltName form), made with the openssl command line. The files live
// in a temporary folder removed with the holder.
class TestCertificates {
 public:
  explicit TestCertificates(const std::string& names = "DNS:localhost,IP:127.0.0.1,IP:::1");
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
