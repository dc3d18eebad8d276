// The hand-over sequence's bookkeeping on a recording stand-in for the
// system's side: what is released on every way out, and what is said when
// the release fails. The real system side is tested with real processes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "crash/reporter_handover.h"
#include "json/object.h"
#include "platform/process.h"

using namespace VendraCrash;
using VendraClient::eVClientResult;

namespace {

class RecordingHandover final : public VendraPlatform::ICrashHandover {
 public:
  uint32_t Start(std::u16string_view commandLine) override {
    calls.push_back("start");
    line = commandLine;
    return startError;
  }
  uint32_t Place(const void* data, size_t size) override {
    calls.push_back("place");
    placed.assign(static_cast<const char*>(data), size);
    return placeError;
  }
  bool FindReceiver(std::u16string_view windowClass, std::u16string_view title) override {
    ++lookups;
    foundClass = windowClass;
    foundTitle = title;
    return lookups > lookupsBeforeFound;
  }
  uint32_t Deliver(uint32_t message) override {
    calls.push_back("deliver");
    delivered = message;
    return deliverError;
  }
  uint32_t Release() override {
    calls.push_back("release");
    return releaseError;
  }

  uint32_t startError = 0, placeError = 0, deliverError = 0, releaseError = 0;
  int lookupsBeforeFound = 0;
  int lookups = 0;
  std::vector<std::string> calls;
  std::u16string line, foundClass, foundTitle;
  std::string placed;
  uint32_t delivered = 0;
};

class HandoverSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    report = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    report->SetStringA(u"report", "boom");
  }
  void TearDown() override { SetReporterWindowWaitForTesting(kReporterWindowWait); }
  eVClientResult Run() { return HandOverCrashReport(handover, u"/data/utils/r.exe", *report, error); }

  RecordingHandover handover;
  Vendra::RefPtr<VendraJSON::VSJObject> report;
  std::u16string error;
};

TEST_F(HandoverSequence, SendsTheCompactTextWithItsZeroByteToTheWindowNamedByTheToken) {
  const int64_t before = VendraPlatform::NowUnixSeconds();
  EXPECT_EQ(Run(), eVClientResult::Success);
  EXPECT_EQ(handover.calls, (std::vector<std::string>{"start", "place", "deliver", "release"}));
  EXPECT_EQ(handover.placed, std::string("{\"report\":\"boom\"}", 18));
  EXPECT_EQ(handover.placed.back(), '\0');
  EXPECT_EQ(handover.delivered, 3137u);
  EXPECT_EQ(handover.foundClass, u"__VendraCrashMobile002");
  ASSERT_EQ(handover.line.size(), std::u16string(u"\"/data/utils/r.exe\" ").size() + 16);
  EXPECT_EQ(handover.line.substr(0, 20), u"\"/data/utils/r.exe\" ");
  const std::u16string token = handover.line.substr(20);
  EXPECT_EQ(handover.foundTitle, token);
  // The process identifier in the last eight digits, the time in the first.
  EXPECT_EQ(token.substr(8), VendraText::Format(u"%08X", VendraPlatform::CurrentProcessId()));
  const int64_t stamped = std::stoll(std::string(token.begin(), token.begin() + 8), nullptr, 16);
  EXPECT_GE(stamped, before & 0xFFFFFFFF);
  EXPECT_LE(stamped, VendraPlatform::NowUnixSeconds() & 0xFFFFFFFF);
  for (const char16_t c : token) EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'));
}

TEST_F(HandoverSequence, AProgramThatDoesNotStartGivesMinus110AndNothingElseHappens) {
  handover.startError = 2;
  EXPECT_EQ(Run(), eVClientResult::LaunchFailed);
  EXPECT_EQ(error, u"CreateProcess Failed. GetLastError() = 2");
  EXPECT_EQ(handover.calls, (std::vector<std::string>{"start"}));
}

TEST_F(HandoverSequence, MemoryThatCannotBeWrittenGivesMinus111AndIsReleased) {
  handover.placeError = 299;
  EXPECT_EQ(Run(), eVClientResult::MemoryCopyFailed);
  EXPECT_EQ(error, u"Memory copy failed. GetLastError() = 299");
  EXPECT_EQ(handover.calls, (std::vector<std::string>{"start", "place", "release"}));
  EXPECT_EQ(handover.lookups, 0);
}

TEST_F(HandoverSequence, NoWindowWithinTheWaitGivesMinus110AndReleases) {
  SetReporterWindowWaitForTesting(std::chrono::milliseconds(200));
  handover.lookupsBeforeFound = 1 << 30;
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(), eVClientResult::LaunchFailed);
  EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(200));
  EXPECT_EQ(error, u"CreateProcess failed. No Crash Reporter window found!");
  EXPECT_EQ(handover.calls, (std::vector<std::string>{"start", "place", "release"}));
  // Looked for every 10 ms or so, not once.
  EXPECT_GT(handover.lookups, 5);
}

TEST_F(HandoverSequence, AReporterThatGoesAwayBeforeHandlingIsNoSuccess) {
  handover.deliverError = 109;
  EXPECT_EQ(Run(), eVClientResult::MemoryCopyFailed);
  EXPECT_EQ(error, u"Memory copy failed. GetLastError() = 109");
  EXPECT_EQ(handover.calls.back(), "release");
}

TEST_F(HandoverSequence, AFailedReleaseIsWrittenOutAndKeepsTheResult) {
  handover.releaseError = 487;
  ::testing::internal::CaptureStdout();
  const eVClientResult result = Run();
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, eVClientResult::Success);
  EXPECT_EQ(out, "VirtualFreeEx failed: 487\n");
}

}  // namespace
