#pragma once

#include <string>

namespace VendraTest {

// The private key (PEM) whose public half the installer of this build is
// pinned to, as a path of the machine the publisher's tool runs on (the Linux
// build's, under Wine too): what the suites sign a package manager with
// when the installer is to trust it.
std::string PinnedPublisherKeyFile();

}  // namespace VendraTest
