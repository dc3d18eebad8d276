#include "tests/support/publisher_key.h"

namespace VendraTest {

std::string PinnedPublisherKeyFile() { return VENDRA_TEST_PUBLISHER_KEY; }

}  // namespace VendraTest
