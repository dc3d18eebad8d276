// The Windows hand-over with a real second process: the sender starts the
// receiver program, writes into its memory, finds its message-only window
// and sends it the message; the receiver writes what it copied to a file.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "crash/reporter_handover.h"
#include "json/object.h"
#include "platform/crash_handover.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace {

std::u16string Helper() {
  return VendraPlatform::PathAppend(VendraPlatform::FolderOf(VendraPlatform::ModuleFileName()),
                                    u"crash_receiver_helper.exe");
}

std::string ReadAll(const std::u16string& path) {
  std::ifstream in(VendraText::Utf16ToUtf8(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::u16string OutputFile(const char16_t* name) {
  const std::u16string path = VendraPlatform::PathAppend(VendraPlatform::TempFolder(), name);
  VendraPlatform::DeleteFile(path);
  return path;
}

TEST(HandoverWin32, TheReportArrivesWithItsTerminatingZeroThroughTheWindow) {
  const std::u16string out = OutputFile(u"vendra-crash-handover.bin");
  const std::u16string token = u"00000001000000AB";
  const auto handover = VendraPlatform::NewCrashHandover();
  ASSERT_EQ(handover->Start(u"\"" + Helper() + u"\" " + token + u" \"" + out + u"\""), 0u);
  const std::string text = "{\"report\":\"line one\\nline two \xc3\xa9\"}";
  ASSERT_EQ(handover->Place(text.c_str(), text.size() + 1), 0u);
  bool found = false;
  for (int i = 0; i < 2000 && !found; ++i) {
    found = handover->FindReceiver(VendraCrash::kReporterWindowClass, token);
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(handover->Deliver(VendraCrash::kReportMessage), 0u);
  EXPECT_EQ(handover->Release(), 0u);
  const std::string expected(text.c_str(), text.size() + 1);
  std::string got;
  for (int i = 0; i < 500 && got.size() < expected.size(); ++i) {
    got = ReadAll(out);
    if (got.size() < expected.size()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(got, expected);
}

TEST(HandoverWin32, AMissingProgramIsFileNotFoundAndTheSequenceSaysSo) {
  const std::u16string missing = VendraPlatform::PathAppend(
      VendraPlatform::TempFolder(), u"vendra-no-such-VendraCrashMobile.exe");
  auto report = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  std::u16string error;
  const auto handover = VendraPlatform::NewCrashHandover();
  const VendraClient::eVClientResult result =
      VendraCrash::HandOverCrashReport(*handover, missing, *report, error);
  EXPECT_EQ(result, VendraClient::eVClientResult::LaunchFailed);
  EXPECT_EQ(error, u"CreateProcess Failed. GetLastError() = 2");
}

}  // namespace
