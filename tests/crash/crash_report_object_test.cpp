// The report object built from a crash's facts, and the hand-over's token and
// command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/crash_report_object.h"
#include "crash/reporter_handover.h"
#include "json/object.h"
#include "platform/command_line.h"

using namespace VendraClient;
using namespace VendraCrash;

namespace {

std::vector<std::u16string> Keys(const VendraJSON::VSJObject& o) {
  std::vector<std::u16string> keys;
  for (size_t i = 0; i < o.Count(); ++i) keys.emplace_back(o.KeyAt(i));
  return keys;
}

std::string Compact(const VendraJSON::VSJObject& o) {
  std::string text;
  o.WriteJSONA(text, false, 0, "");
  return text;
}

CrashFacts Facts() {
  CrashFacts f;
  f.project = "Tandory";
  f.version = "1.2.3";
  f.build = 4567;
  f.executable = std::string("Tandory.exe");
  f.executableTime = 1700000000123LL;
  f.module = std::string("render.dll");
  f.addressInModule = 0x7FF712345678LL;
  f.exception = 0xC0000005LL;
  f.report = "Access violation\nreading 0x0";
  return f;
}

TEST(CrashReportObject, KeysStandInTheirOrderWithTheirValues) {
  const auto report = MakeCrashReport(Facts());
  EXPECT_EQ(Keys(*report), (std::vector<std::u16string>{u"project", u"version", u"build",
                                                         u"executable", u"exetimestamp", u"module",
                                                         u"address_in_module", u"exception",
                                                         u"report"}));
  EXPECT_EQ(Compact(*report),
            "{\"project\":\"Tandory\",\"version\":\"1.2.3\",\"build\":4567,"
            "\"executable\":\"Tandory.exe\",\"exetimestamp\":1700000000123,"
            "\"module\":\"render.dll\",\"address_in_module\":140699139069560,"
            "\"exception\":3221225477,\"report\":\"Access violation\\nreading 0x0\"}");
}

TEST(CrashReportObject, BuildIsUnsignedThirtyTwoBits) {
  CrashFacts f = Facts();
  f.build = static_cast<uint32_t>(int32_t{-1});
  int64_t build = 0;
  ASSERT_TRUE(MakeCrashReport(f)->GetInteger(u"build", build));
  EXPECT_EQ(build, 4294967295LL);
}

TEST(CrashReportObject, WideNamesAndUtf8TextsKeepEveryCharacter) {
  CrashFacts f = Facts();
  f.executable = std::u16string(u"Tand\u00f6ry \u6f22.exe");
  f.module = std::u16string(u"m\U0001F600.dll");
  f.report = "caf\xc3\xa9";
  const auto report = MakeCrashReport(f);
  std::u16string text;
  ASSERT_TRUE(report->GetString(u"executable", text));
  EXPECT_EQ(text, u"Tand\u00f6ry \u6f22.exe");
  ASSERT_TRUE(report->GetString(u"module", text));
  EXPECT_EQ(text, u"m\U0001F600.dll");
  ASSERT_TRUE(report->GetString(u"report", text));
  EXPECT_EQ(text, u"caf\u00e9");
}

TEST(CrashReportObject, TextsThatAreNotUtf8LeaveTheirKeysOut) {
  CrashFacts f = Facts();
  f.project = "bad\xff";
  f.executable = std::string("\xc0\xaf.exe");     // overlong '/'
  f.module = std::string("\xed\xa0\x80.dll");     // a surrogate
  f.report = "cut \xe2\x82";                       // truncated sequence
  const auto report = MakeCrashReport(f);
  EXPECT_FALSE(report->Has(u"project"));
  EXPECT_FALSE(report->Has(u"executable"));
  EXPECT_FALSE(report->Has(u"module"));
  EXPECT_FALSE(report->Has(u"report"));
  EXPECT_TRUE(report->Has(u"version"));
  EXPECT_TRUE(report->Has(u"exception"));
}

TEST(Utf8Check, AcceptsWellFormedAndRefusesTheRest) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xf4\x8f\xbf\xbf"));  // U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xe0\x80\xaf"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\x80"));              // lone continuation
  EXPECT_FALSE(IsValidUtf8("\xc3"));              // cut short
}

TEST(HandoverToken, TimeAboveProcessIdInSixteenUpperCaseDigits) {
  EXPECT_EQ(HandoverToken(0x5F5E10AB, 0x1A2B), u"5F5E10AB00001A2B");
  EXPECT_EQ(HandoverToken(0, 0), u"0000000000000000");
  // Only the low 32 bits of the time are kept.
  EXPECT_EQ(HandoverToken(0x1ABCDEF01LL, 0xFFFFFFFFu), u"ABCDEF01FFFFFFFF");
}

TEST(ReporterCommandLine, QuotesThePathAndIsNeverCut) {
  EXPECT_EQ(ReporterCommandLine(u"C:\\Data\\utils\\VendraCrashMobile.exe", u"0123456789ABCDEF"),
            u"\"C:\\Data\\utils\\VendraCrashMobile.exe\" 0123456789ABCDEF");
  const std::u16string longPath = u"C:\\" + std::u16string(600, u'd') + u"\\VendraCrashMobile.exe";
  const std::u16string line = ReporterCommandLine(longPath, u"0123456789ABCDEF");
  EXPECT_EQ(line, u"\"" + longPath + u"\" 0123456789ABCDEF");
  // A path with quotes (legal on Linux) is still one argument before the token.
  const std::u16string quoted = u"/data/a \"b\" c\\/VendraCrashMobile";
  EXPECT_EQ(VendraPlatform::SplitCommandLine(ReporterCommandLine(quoted, u"0123456789ABCDEF")),
            (std::vector<std::u16string>{quoted, u"0123456789ABCDEF"}));
}

}  // namespace
