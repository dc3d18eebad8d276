// The shared memory channel between real processes.
#include "client/shared_memory_channel.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>

#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/posix/named_objects.h"
#endif
#include "tests/client/helper_process.h"
#include "tests/client/session_test_root.h"
#include "tests/support/unprivileged.h"

namespace {

using VendraClient::SharedMemoryChannel;
using VendraTest::HelperProcess;

class SharedMemoryChannelTest : public VendraTest::MachineRootTest {};

// "read 4096 12 text" -> "text"; "wrote 5 3" -> 5 and so on.
struct Answer {
  std::string word;
  long count = -1;
  long milliseconds = -1;
  std::string text;
};

Answer Parse(const std::string& line) {
  Answer answer;
  size_t at = 0;
  auto next = [&line, &at] {
    const size_t space = line.find(' ', at);
    std::string part = line.substr(at, space == std::string::npos ? std::string::npos : space - at);
    at = space == std::string::npos ? line.size() : space + 1;
    return part;
  };
  answer.word = next();
  const std::string count = next();
  const std::string took = next();
  if (!count.empty()) answer.count = std::stol(count);
  if (!took.empty()) answer.milliseconds = std::stol(took);
  answer.text = line.substr(at);
  return answer;
}

TEST_F(SharedMemoryChannelTest, ReadBeforeAnyWriteFindsNothing) {
  HelperProcess reader;
  const Answer read = Parse(reader.Call("read"));
  EXPECT_EQ(read.word, "read");
  EXPECT_EQ(read.count, 0);
  EXPECT_EQ(read.text, "");
  // Read never creates the block: a second reader finds nothing either.
  HelperProcess second;
  EXPECT_EQ(Parse(second.Call("read")).count, 0);
}

TEST_F(SharedMemoryChannelTest, WhatOneProcessWritesAnotherReads) {
  HelperProcess writer;
  HelperProcess reader;
  const std::string longer(3000, 'L');
  const Answer wrote = Parse(writer.Call("write " + longer));
  EXPECT_EQ(wrote.count, 3001);
  Answer read = Parse(reader.Call("read"));
  EXPECT_EQ(read.count, 4096);
  EXPECT_EQ(read.text, longer);
  // A shorter token after the longer one reads back intact.
  EXPECT_EQ(Parse(writer.Call("write short-token")).count, 12);
  read = Parse(reader.Call("read"));
  EXPECT_EQ(read.text, "short-token");
}

TEST_F(SharedMemoryChannelTest, WriteMovesAtMostTheBlock) {
  SharedMemoryChannel channel;
  const std::string big(5000, 'x');
  EXPECT_EQ(channel.Write(big.data(), static_cast<uint32_t>(big.size())), 4096u);
  char buffer[SharedMemoryChannel::kSize];
  EXPECT_EQ(channel.Read(buffer), 4096u);
  EXPECT_EQ(std::string(buffer, sizeof buffer), big.substr(0, 4096));
}

TEST_F(SharedMemoryChannelTest, BlockIsGoneWhenTheLastProcessClosedIt) {
  HelperProcess first;
  HelperProcess second;
  ASSERT_EQ(Parse(first.Call("write token-one")).count, 10);
  EXPECT_EQ(Parse(second.Call("read")).text, "token-one");
  // The writer leaves; the block lives on in the reader.
  EXPECT_EQ(first.Finish(), 0);
  EXPECT_EQ(Parse(second.Call("read")).text, "token-one");
  HelperProcess third;
  EXPECT_EQ(Parse(third.Call("read")).text, "token-one");
  EXPECT_EQ(third.Call("close-channel"), "closed");
  EXPECT_EQ(second.Call("close-channel"), "closed");
  // Nobody has it now: it is gone, and the next Write starts afresh.
  HelperProcess fourth;
  EXPECT_EQ(Parse(fourth.Call("read")).count, 0);
  ASSERT_EQ(Parse(fourth.Call("write a")).count, 2);
  SharedMemoryChannel mine;
  char buffer[SharedMemoryChannel::kSize];
  ASSERT_EQ(mine.Read(buffer), 4096u);
  EXPECT_EQ(std::string(buffer, 2), std::string("a\0", 2));
  for (size_t i = 2; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '\0') << i;
}

TEST_F(SharedMemoryChannelTest, ChannelLockHeldElsewhereDelaysByAboutOneSecond) {
  HelperProcess holder;
  HelperProcess user;
#ifdef _WIN32
  // Windows makes no named object below "Global\Mutex\" (there is no such
  // object folder), so nobody holds the channel lock and every access goes
  // ahead without it at once.
  EXPECT_EQ(holder.Call("hold-channel-lock"), "busy");
  EXPECT_LT(Parse(user.Call("write at-once")).milliseconds, 500);
  EXPECT_EQ(Parse(user.Call("read")).text, "at-once");
  return;
#endif
  ASSERT_EQ(holder.Call("hold-channel-lock"), "held");
  const Answer wrote = Parse(user.Call("write delayed"));
  EXPECT_EQ(wrote.count, 8);
  EXPECT_GE(wrote.milliseconds, 950);
  EXPECT_LT(wrote.milliseconds, 3000);
  const Answer read = Parse(user.Call("read"));
  EXPECT_EQ(read.text, "delayed");
  EXPECT_GE(read.milliseconds, 950);
  EXPECT_LT(read.milliseconds, 3000);
  // Free again: no delay.
  EXPECT_EQ(holder.Call("free-channel-lock"), "freed");
  EXPECT_LT(Parse(user.Call("read")).milliseconds, 500);
}

TEST_F(SharedMemoryChannelTest, PlantedBlockIsRefusedWithOneDebugMessage) {
#ifdef _WIN32
  GTEST_SKIP() << "another user's block: Wine keeps no owners or access lists";
#else
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to run a child as another user";
  const std::string path =
      VendraPlatform::Posix::NamedObjectPath(u"Global::Vendra Software/VC1", "shm");
  const int planted = VendraTest::RunUnprivileged([&path] {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0 || ::fchmod(fd, 0666) != 0 || ::ftruncate(fd, 4096) != 0) return 1;
    ::close(fd);
    return 0;
  });
  ASSERT_EQ(planted, 0);
  SharedMemoryChannel channel;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(channel.Write("secret", 7), 0u);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Open/CreateFileMapping failed, errs=5 and 5\r\n");
  char buffer[SharedMemoryChannel::kSize] = {};
  EXPECT_EQ(channel.Read(buffer), 0u);
  EXPECT_EQ(buffer[0], '\0');
#endif
}

}  // namespace
