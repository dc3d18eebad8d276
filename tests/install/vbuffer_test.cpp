#include "install/vbuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/support/temp_folder.h"

namespace {

using VendraClient::VBuffer;

TEST(VBuffer, CountedReferences) {
  VBuffer* buffer = new VBuffer();
  EXPECT_EQ(buffer->AddRef(), 2);
  EXPECT_EQ(buffer->AddRef(), 3);
  EXPECT_EQ(buffer->Release(), 2);
  EXPECT_EQ(buffer->Release(), 1);
  EXPECT_EQ(buffer->Release(), 0);  // destroyed; the leak checkers see it freed
}

TEST(VBuffer, ResizeKeepsContentAndRefusesNegativeSizes) {
  VBuffer* buffer = new VBuffer();
  EXPECT_EQ(buffer->Data(), nullptr);
  ASSERT_NE(buffer->Resize(3), nullptr);
  std::memcpy(buffer->Data(), "abc", 3);
  ASSERT_NE(buffer->Resize(100000), nullptr);
  EXPECT_EQ(std::memcmp(buffer->Data(), "abc", 3), 0);
  EXPECT_EQ(buffer->Size(), 100000);
  EXPECT_EQ(buffer->Resize(-1), nullptr);
  EXPECT_EQ(buffer->Size(), 100000);
  // An empty buffer still offers a block to write to.
  EXPECT_NE(buffer->Resize(0), nullptr);
  EXPECT_EQ(buffer->Size(), 0);
  buffer->Release();
}

TEST(VBuffer, FileRoundTripCreatesFolders) {
  VendraTest::TempFolder folder;
  VBuffer* buffer = new VBuffer();
  buffer->Resize(5);
  std::memcpy(buffer->Data(), "a\0b\nc", 5);
  int errorNumber = -1;
  ASSERT_TRUE(buffer->WriteToFile(folder.WSub("one/two/file.bin"), errorNumber));
  EXPECT_EQ(errorNumber, 0);
  EXPECT_EQ(VendraTest::ReadTextFile(folder.Sub("one/two/file.bin")), std::string("a\0b\nc", 5));

  VBuffer* read = new VBuffer();
  ASSERT_TRUE(read->ReadFromFile(folder.WSub("one/two/file.bin")));
  ASSERT_EQ(read->Size(), 5);
  EXPECT_EQ(std::memcmp(read->Data(), "a\0b\nc", 5), 0);
  EXPECT_FALSE(read->ReadFromFile(folder.WSub("missing")));
  bool opened = true;
  EXPECT_EQ(read->LoadFile(folder.WSub("missing"), opened), 2u);
  EXPECT_FALSE(opened);
  read->Release();
  buffer->Release();
}

TEST(VBuffer, OpenFailureGivesTheRuntimeErrorNumber) {
  VendraTest::TempFolder folder;
  VendraTest::WriteTextFile(folder.Sub("file"), "x");
  VBuffer* buffer = new VBuffer();
  int errorNumber = 0;
  // The folder of the path is an ordinary file: neither it nor the file can
  // be created.
  EXPECT_FALSE(buffer->WriteToFile(folder.WSub("file/inside"), errorNumber));
  EXPECT_EQ(errorNumber, 2);
  buffer->Release();
}

}  // namespace
