#pragma once

#include <functional>

namespace VendraTest {

// Runs body in a forked child process that has given up root (uid and gid of
// "nobody", 65534, no supplementary groups), so that file permissions apply
// to it even when the tests run as root. Answers the child's exit code, or
// -1 when it could not be started or died. Without root the child simply
// keeps the current user.
int RunUnprivileged(const std::function<int()>& body);

// Makes the calling process (a child forked by a test) that user for good;
// false when it could not. Without root it keeps the current user.
bool BecomeUnprivileged();

// True when RunUnprivileged really drops rights (the tests run as root).
bool CanDropPrivileges();

// The user id RunUnprivileged's child runs as.
unsigned UnprivilegedUid();

}  // namespace VendraTest
