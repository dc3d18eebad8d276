// The system's hand-over between two real processes: this one sends, a
// forked child receives through its window and writes what it copied to a
// file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "platform/crash_handover.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr char16_t kClass[] = u"__VendraCrashMobile002";
constexpr uint32_t kMessage = 3137;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class HandoverProcesses : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VENDRA_MACHINE_ROOT", root_.path().c_str(), 1); }
  void TearDown() override {
    if (child_ > 0) {
      int status = 0;
      ::waitpid(child_, &status, 0);
    }
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
  }

  // A child that opens the window titled token after delayMs, receives
  // once (or, when dropConnections, takes connections and answers nothing)
  // and writes the bytes it copied to out.
  void StartReceiver(const std::u16string& token, int delayMs = 0) {
    child_ = ::fork();
    ASSERT_GE(child_, 0);
    if (child_ != 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const auto receiver = VendraPlatform::NewCrashReceiver();
    if (receiver->Open(kClass, token) != 0) ::_exit(3);
    std::string bytes;
    if (receiver->Receive(kMessage, 10000, bytes) != 0) ::_exit(4);
    std::ofstream(root_.Sub("received"), std::ios::binary) << bytes;
    ::_exit(0);
  }

  bool Find(VendraPlatform::ICrashHandover& handover, const std::u16string& token) {
    for (int i = 0; i < 500; ++i) {
      if (handover.FindReceiver(kClass, token)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  int ChildExit() {
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  VendraTest::TempFolder root_;
  pid_t child_ = -1;
};

TEST_F(HandoverProcesses, TheBytesArriveWholeWithTheirTerminatingZero) {
  StartReceiver(u"00000001000000AA", 100);
  const auto handover = VendraPlatform::NewCrashHandover();
  const std::string text = "{\"report\":\"line one\\nline two \xc3\xa9\"}";
  ASSERT_EQ(handover->Place(text.c_str(), text.size() + 1), 0u);
  ASSERT_TRUE(Find(*handover, u"00000001000000AA"));
  EXPECT_EQ(handover->Deliver(kMessage), 0u);
  EXPECT_EQ(handover->Release(), 0u);
  EXPECT_EQ(ChildExit(), 0);
  EXPECT_EQ(ReadAll(root_.Sub("received")), std::string(text.c_str(), text.size() + 1));
}

TEST_F(HandoverProcesses, ALargeReportArrivesWhole) {
  StartReceiver(u"00000002000000AA");
  std::string text(3 * 1024 * 1024, 'x');
  for (size_t i = 0; i < text.size(); i += 4099) text[i] = static_cast<char>('a' + i % 26);
  const auto handover = VendraPlatform::NewCrashHandover();
  ASSERT_EQ(handover->Place(text.c_str(), text.size() + 1), 0u);
  ASSERT_TRUE(Find(*handover, u"00000002000000AA"));
  EXPECT_EQ(handover->Deliver(kMessage), 0u);
  EXPECT_EQ(ChildExit(), 0);
  EXPECT_EQ(ReadAll(root_.Sub("received")), std::string(text.c_str(), text.size() + 1));
}

TEST_F(HandoverProcesses, AWindowOfAnotherTitleIsNotFoundAndTheWindowGoesWithItsReceiver) {
  StartReceiver(u"00000003000000AA");
  const auto handover = VendraPlatform::NewCrashHandover();
  ASSERT_TRUE(Find(*handover, u"00000003000000AA"));
  EXPECT_FALSE(handover->FindReceiver(kClass, u"00000003000000AB"));
  EXPECT_FALSE(handover->FindReceiver(u"__OtherClass", u"00000003000000AA"));
  const char byte = 0;
  ASSERT_EQ(handover->Place(&byte, 1), 0u);
  ASSERT_TRUE(handover->FindReceiver(kClass, u"00000003000000AA"));
  EXPECT_EQ(handover->Deliver(kMessage), 0u);
  EXPECT_EQ(ChildExit(), 0);
  EXPECT_FALSE(handover->FindReceiver(kClass, u"00000003000000AA"));
}

TEST_F(HandoverProcesses, AReceiverThatDiesBeforeAnsweringLeavesTheSenderWithAnError) {
  child_ = ::fork();
  ASSERT_GE(child_, 0);
  if (child_ == 0) {
    const auto receiver = VendraPlatform::NewCrashReceiver();
    if (receiver->Open(kClass, u"00000004000000AA") != 0) ::_exit(3);
    // Dies while the sender waits, without a word.
    std::string bytes;
    receiver->Receive(0xFFFF, 3000, bytes);
    ::_exit(0);
  }
  const auto handover = VendraPlatform::NewCrashHandover();
  const char text[] = "{}";
  ASSERT_EQ(handover->Place(text, sizeof text), 0u);
  ASSERT_TRUE(Find(*handover, u"00000004000000AA"));
  EXPECT_NE(handover->Deliver(kMessage), 0u);
  EXPECT_EQ(ChildExit(), 0);
}

TEST_F(HandoverProcesses, AMachineRootTooDeepForASocketAddressStillWorks) {
  std::string deep = root_.path();
  for (int i = 0; i < 3; ++i) deep += "/" + std::string(60, static_cast<char>('a' + i));
  ::setenv("VENDRA_MACHINE_ROOT", deep.c_str(), 1);
  StartReceiver(u"00000005000000AA");
  const auto handover = VendraPlatform::NewCrashHandover();
  const char text[] = "{\"deep\":true}";
  ASSERT_EQ(handover->Place(text, sizeof text), 0u);
  ASSERT_TRUE(Find(*handover, u"00000005000000AA"));
  EXPECT_EQ(handover->Deliver(kMessage), 0u);
  EXPECT_EQ(ChildExit(), 0);
  EXPECT_EQ(ReadAll(root_.Sub("received")), std::string(text, sizeof text));
}

TEST_F(HandoverProcesses, StartingAMissingProgramAnswersFileNotFound) {
  const auto handover = VendraPlatform::NewCrashHandover();
  EXPECT_EQ(handover->Start(u"\"" + root_.wpath() + u"/utils/nothing.exe\" 0123456789ABCDEF"),
            2u);
}

}  // namespace
