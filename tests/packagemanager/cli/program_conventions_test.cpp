#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

Outcome RunCaptured(const TempFolder& folder, const std::vector<std::string>& commandLine) {
  const std::string out = folder.Sub("out");
  const std::string err = folder.Sub("err");
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  const int code = RunProgram(commandLine, {out, err});
  return {code, ReadTextFile(out), ReadTextFile(err)};
}

// The programs this build makes: the shipped ones everywhere; the
// publisher's tool and the service stand-in where they are built (Linux).
std::vector<std::string> Programs() {
  return {VENDRA_BUILD_PROGRAM, VENDRA_CRASH_REPORTER_PROGRAM,
#ifdef VENDRA_SERVICE_PROGRAM
          VENDRA_CATALOGUE_PROGRAM, VENDRA_SERVICE_PROGRAM
#endif
  };
}

// The name a program gives itself: its file name without ".exe".
std::string NameOf(const std::string& program) {
  std::string name = program.substr(program.find_last_of("/\\") + 1);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
  return name;
}

// Every program of ours: help on standard output with exit 0, its version,
// and a wrong command line refused with exit 2, the reason and a one-line
// hint on standard error and nothing on standard output.
TEST(ProgramConventionsTest, HelpVersionAndUsageErrors) {
  TempFolder folder;
  for (const std::string& program : Programs()) {
    const std::string name = NameOf(program);
    for (const char* help : {"--help", "-h"}) {
      const Outcome run = RunCaptured(folder, {program, help});
      EXPECT_EQ(run.code, 0) << name;
      EXPECT_EQ(run.out.rfind("usage:", 0), 0u) << name << ": " << run.out;
      EXPECT_NE(run.out.find("Exit codes"), std::string::npos) << name;
      EXPECT_EQ(run.err, "") << name;
    }
    const Outcome version = RunCaptured(folder, {program, "--version"});
    EXPECT_EQ(version.code, 0) << name;
    EXPECT_EQ(version.out.rfind(name + " ", 0), 0u) << version.out;
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{program}, {program, "--no-such-option"},
          {program, "no-such-command"}}) {
      const Outcome run = RunCaptured(folder, bad);
      EXPECT_EQ(run.code, 2) << name << bad.size();
      EXPECT_EQ(run.out, "") << name << bad.size();
      EXPECT_EQ(run.err.rfind(name + ": ", 0), 0u) << name << bad.size() << ": " << run.err;
      EXPECT_NE(run.err.find("Try '" + name + " --help'"), std::string::npos) << run.err;
    }
  }
}

#ifdef VENDRA_SERVICE_PROGRAM
// Failures say what is wrong, on standard error: exit 1, or 2 for what the
// command line lacks. A mistyped service root is refused, never made, and
// an unsigned build is published only on purpose.
TEST(ProgramConventionsTest, FailuresNameTheirCause) {
  TempFolder folder;
  const std::string mistyped = folder.Sub("mistyped");
  const auto publish = [&](const std::string& root, const std::string& signing,
                           const std::string& from) {
    return std::vector<std::string>{VENDRA_CATALOGUE_PROGRAM, "publish", "--root", root,
                                    "--product", "tdy", "--branch", "live", "--version", "1",
                                    signing, from};
  };
  const struct {
    std::vector<std::string> commandLine;
    int code;
    std::string said;
  } cases[] = {
      {{VENDRA_SERVICE_PROGRAM, "serve", "--root", folder.Sub("missing"), "--listen",
        "127.0.0.1:0"},
       1, "does not exist"},
      {{VENDRA_SERVICE_PROGRAM, "serve", "--root", folder.path(), "--listen", "127.0.0.1:0",
        "--rate", "100X"},
       2, "--rate takes bits per second"},
      {{VENDRA_SERVICE_PROGRAM, "serve", "--root", folder.path(), "--listen", "127.0.0.1:0",
        "--rate", "0M"},
       2, "--rate takes bits per second"},
      {publish(folder.path(), "--unsigned", folder.Sub("missing")), 1, "does not exist"},
      {publish(mistyped, "--unsigned", folder.path()), 1,
       "there is no folder " + mistyped + " (the service root --root names): check the path, "
       "or give --create"},
      {publish(folder.path(), "--replace", folder.path()), 2,
       "every package manager refuses an unsigned build"},
      {{VENDRA_CATALOGUE_PROGRAM, "list", "--root", mistyped}, 1,
       "there is no folder " + mistyped},
      {{VENDRA_CATALOGUE_PROGRAM, "sign-list", "--root", mistyped, "--key", folder.Sub("key")},
       1, "there is no folder " + mistyped + " (the service root --root names): check the path\n"},
  };
  for (const auto& c : cases) {
    const Outcome run = RunCaptured(folder, c.commandLine);
    EXPECT_EQ(run.code, c.code) << c.commandLine[1];
    EXPECT_NE(run.err.find(c.said), std::string::npos) << c.commandLine[1] << ": " << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(mistyped));

  // Asked for, a new root is made.
  std::filesystem::create_directories(folder.Sub("build"));
  WriteTextFile(folder.Sub("build/a.txt"), "a");
  std::vector<std::string> create =
      publish(folder.Sub("new root"), "--unsigned", folder.Sub("build"));
  create.push_back("--create");
  const Outcome made = RunCaptured(folder, create);
  EXPECT_EQ(made.code, 0) << made.err;
  EXPECT_TRUE(std::filesystem::exists(folder.Sub("new root/catalogue/tdy/live/1/build.json")));
}
#endif

}  // namespace
}  // namespace VendraTest
