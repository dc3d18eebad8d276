#include "install/crt_error.h"

#include <gtest/gtest.h>

namespace {

// The numbers the C runtime's file functions report for the system errors a
// file open can meet; the codec's -108 rule depends on the first group.
TEST(CrtErrorNumber, FileOpenFailures) {
  const std::pair<uint32_t, int> cases[] = {
      {0, 0},      // success
      {5, 13},     // access denied
      {32, 13},    // sharing violation: open elsewhere for exclusive use
      {33, 13},    // lock violation
      {19, 13},    // write-protected medium
      {2, 2},      // file not found
      {3, 2},      // path not found
      {206, 2},    // name too long
      {112, 28},   // disk full
      {80, 17},    // file exists
      {183, 17},   // already exists
      {8, 12},     // not enough memory
      {87, 22},    // invalid parameter
      {123, 22},   // invalid name has no better number
      {99999, 22},
  };
  for (const auto& [sysError, crt] : cases)
    EXPECT_EQ(VendraClient::CrtErrorNumber(sysError), crt) << sysError;
}

}  // namespace
