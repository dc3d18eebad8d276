#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

Outcome RunProgram(const TempFolder& folder, const std::string& command) {
  const std::string out = folder.Sub("out");
  const std::string err = folder.Sub("err");
  const int status =
      std::system((command + " < /dev/null > '" + out + "' 2> '" + err + "'").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

// Every program of ours: help on standard output with exit 0, its version,
// and a wrong command line refused with exit 2, the reason and a one-line
// hint on standard error and nothing on standard output.
TEST(ProgramConventionsTest, HelpVersionAndUsageErrors) {
  TempFolder folder;
  const std::string programs[] = {VENDRA_BUILD_PROGRAM, VENDRA_CATALOGUE_PROGRAM,
                                  VENDRA_SERVICE_PROGRAM, VENDRA_CRASH_REPORTER_PROGRAM};
  for (const std::string& program : programs) {
    const std::string name = program.substr(program.rfind('/') + 1);
    for (const char* help : {" --help", " -h"}) {
      const Outcome run = RunProgram(folder, program + help);
      EXPECT_EQ(run.code, 0) << name;
      EXPECT_EQ(run.out.rfind("usage:", 0), 0u) << name << ": " << run.out;
      EXPECT_NE(run.out.find("Exit codes"), std::string::npos) << name;
      EXPECT_EQ(run.err, "") << name;
    }
    const Outcome version = RunProgram(folder, program + " --version");
    EXPECT_EQ(version.code, 0) << name;
    EXPECT_EQ(version.out.rfind(name + " ", 0), 0u) << version.out;
    for (const char* bad : {"", " --no-such-option", " no-such-command"}) {
      const Outcome run = RunProgram(folder, program + bad);
      EXPECT_EQ(run.code, 2) << name << bad;
      EXPECT_EQ(run.out, "") << name << bad;
      EXPECT_EQ(run.err.rfind(name + ": ", 0), 0u) << name << bad << ": " << run.err;
      EXPECT_NE(run.err.find("Try '" + name + " --help'"), std::string::npos) << run.err;
    }
  }
}

// Failures that are not about the command line say what is wrong, on
// standard error, with exit 1.
TEST(ProgramConventionsTest, FailuresNameTheirCause) {
  TempFolder folder;
  const struct {
    std::string command;
    const char* said;
  } cases[] = {
      {std::string(VENDRA_SERVICE_PROGRAM) + " serve --root " + folder.Sub("missing") +
           " --listen 127.0.0.1:0",
       "does not exist"},
      {std::string(VENDRA_CATALOGUE_PROGRAM) + " publish --root " + folder.Sub("root") +
           " --product tdy --branch live --version 1 " + folder.Sub("missing"),
       "does not exist"},
      {std::string(VENDRA_CATALOGUE_PROGRAM) + " list --root " + folder.Sub("missing"),
       "no catalogue"},
  };
  for (const auto& c : cases) {
    const Outcome run = RunProgram(folder, c.command);
    EXPECT_EQ(run.code, 1) << c.command;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << c.command << ": " << run.err;
  }
}

}  // namespace
}  // namespace VendraTest
