// Windows build of the test support. A test body cannot be handed to a child
// process on Windows (there is no fork), so the access-denied cases that use
// RunUnprivileged skip there; the Windows suites make their denials real with
// access lists instead.
#include "tests/support/unprivileged.h"

namespace VendraTest {

bool CanDropPrivileges() { return false; }

unsigned UnprivilegedUid() { return 0; }

int RunUnprivileged(const std::function<int()>&) { return -1; }

}  // namespace VendraTest
