// Linked into every test program, which then runs on a machine of its own:
// unless the caller chose one, VENDRA_MACHINE_ROOT names a new temporary
// folder from before the first test (and before any object made ahead of
// main) to the end of the program, so that no test makes or leaves anything
// in the machine's own shared-memory, registry or data folders, even one
// that forgets to relocate them. A test that clears the variable gets this
// folder back (SetEnvironment), and the programs it starts inherit it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace {

class ProgramMachineRoot : public ::testing::Environment {
 public:
  ProgramMachineRoot() {
    const char* given = std::getenv("VENDRA_MACHINE_ROOT");
    if (given && *given) {
      root_ = given;
    } else {
      std::string folder = std::filesystem::temp_directory_path().string() + "/vendra-machine-XXXXXX";
      if (!::mkdtemp(folder.data())) std::abort();
      // Unprivileged children of the tests reach it as they would the
      // machine's own places.
      ::chmod(folder.c_str(), 0755);
      root_ = folder;
      made_ = true;
    }
    ::setenv("VENDRA_MACHINE_ROOT", root_.c_str(), 1);
    ::setenv("VENDRA_TEST_MACHINE_ROOT", root_.c_str(), 1);
  }

  void TearDown() override {
    // Only the program that made it removes it, not a child forked by a test.
    if (!made_ || ::getpid() != creator_) return;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  std::string root_;
  bool made_ = false;
  pid_t creator_ = ::getpid();
};

// gtest owns the environment once it is added.
[[maybe_unused]] const ::testing::Environment* const kProgramMachineRoot =
    ::testing::AddGlobalTestEnvironment(new ProgramMachineRoot);

}  // namespace
