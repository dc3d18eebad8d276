// The Crash Report window's logic, shown on a scripted backend.
#include <gtest/gtest.h>

#include "json/object.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/crash_report_window.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_templates.h"

using namespace VendraUi;
using namespace VendraUiTest;
using VendraClient::eVClientResult;
using VendraJSON::VSJObject;
namespace Ids = CrashIds;

namespace {

class CrashWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    report = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    report->SetStringA(u"project", "Tandory");
    report->SetStringA(u"report", "Access violation\nat 0x1234");
  }
  eVClientResult Show(std::u16string& error) {
    return ShowCrashReportWindow(backend, nullptr, state, report.get(), error);
  }
  // The report's references besides the test's own.
  int OtherReferences() {
    report->AddRef();
    return report->Release() - 1;
  }

  ScriptedBackend backend;
  CrashWindowState state;
  Vendra::RefPtr<VSJObject> report;
};

TEST_F(CrashWindowTest, OpensWithTheReportTextAtItsPlaceWithFocusOnTheNotes) {
  backend.Then([this](ScriptedHost& host, IDialogLogic& logic) {
    // The record holds the report while the window is open.
    EXPECT_EQ(state.report.get(), report.get());
    EXPECT_EQ(host.Text(Ids::kReport), u"Access violation\nat 0x1234");
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
  ASSERT_EQ(backend.shown.size(), 1u);
  const ShownDialog& d = backend.shown[0];
  EXPECT_EQ(d.resourceId, 102);
  EXPECT_TRUE(d.initSetFocus);
  EXPECT_EQ(d.focus, Ids::kNotes);
  EXPECT_TRUE(d.placed);
  EXPECT_EQ(d.x, 320);
  EXPECT_EQ(d.y, 240);
}

TEST_F(CrashWindowTest, ReportWithoutReportTextLeavesTheBoxEmpty) {
  auto bare = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  backend.Then(Press(kIdOk));
  std::u16string error;
  EXPECT_EQ(ShowCrashReportWindow(backend, nullptr, state, bare.get(), error),
            eVClientResult::Success);
  EXPECT_EQ(backend.shown[0].texts[Ids::kReport], u"");
  EXPECT_FALSE(bare->Has(u"user_notes"));
}

TEST_F(CrashWindowTest, ReportErrorWithNotesAddsThemAndWithoutNotesAddsNoKey) {
  backend.Then(TypeAndPress({{Ids::kNotes, u"Clicked Save twice\r\nthen it closed"}}, kIdOk));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  std::u16string notes;
  ASSERT_TRUE(report->GetString(u"user_notes", notes));
  EXPECT_EQ(notes, u"Clicked Save twice\r\nthen it closed");
  EXPECT_EQ(backend.shown[0].endCode, kEndOk);

  auto second = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  backend.Then(Press(kIdOk));
  EXPECT_EQ(ShowCrashReportWindow(backend, nullptr, state, second.get(), error),
            eVClientResult::Success);
  EXPECT_FALSE(second->Has(u"user_notes"));
}

TEST_F(CrashWindowTest, NotesAreReadWholeThroughABufferWithRoomForTheTerminator) {
  const std::u16string longNotes(5000, u'n');
  backend.Then([&longNotes](ScriptedHost& host, IDialogLogic& logic) {
    host.Type(Ids::kNotes, longNotes);
    logic.OnCommand(host, kIdOk);
    ASSERT_EQ(host.reads.size(), 1u);
    EXPECT_EQ(host.reads[0].id, Ids::kNotes);
    EXPECT_EQ(host.reads[0].capacity, longNotes.size() + 2);
  });
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  std::u16string notes;
  ASSERT_TRUE(report->GetString(u"user_notes", notes));
  EXPECT_EQ(notes, longNotes);
}

TEST_F(CrashWindowTest, TheRecordLetsGoOfTheReportWhenTheWindowEnds) {
  backend.Then(Press(kIdOk));
  std::u16string error;
  Show(error);
  EXPECT_FALSE(state.report);
  EXPECT_EQ(OtherReferences(), 0);
  backend.Then(Press(kIdCancel));
  Show(error);
  EXPECT_FALSE(state.report);
  EXPECT_EQ(OtherReferences(), 0);
}

TEST(CrashReportTemplate, ControlsAndTextsAreThoseOfTheWindow) {
  const DialogTemplate& d = CrashReportTemplate();
  EXPECT_EQ(d.resourceId, 102);
  EXPECT_EQ(d.caption, u"Vendra Software Crash Reporter");
  EXPECT_EQ(d.width, 490);
  EXPECT_EQ(d.height, 290);
  ASSERT_NE(d.Find(Ids::kReport), nullptr);
  EXPECT_TRUE(d.Find(Ids::kReport)->Has(kReadOnly));
  EXPECT_TRUE(d.Find(Ids::kReport)->Has(kMultiLine));
  EXPECT_TRUE(d.Find(Ids::kNotes)->Has(kWantReturn));
  EXPECT_FALSE(d.Find(Ids::kNotes)->Has(kReadOnly));
  EXPECT_EQ(d.Find(kIdOk)->text, u"Report Error");
  EXPECT_EQ(d.Find(kIdCancel)->text, u"Heck No!");
  EXPECT_EQ(d.controls[0].text,
            u"A crash has been detected in our software.  Please let us know about it!  Below is "
            u"the information that will be sent, if you select \"Report Error\"");
}

}  // namespace
