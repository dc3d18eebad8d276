// The dialog templates and the resource script made from them.
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "ui/dialog_ids.h"
#include "ui/dialog_templates.h"
#include "ui/resource_script.h"

using namespace VendraUi;

TEST(DialogTemplates, EveryAddressedControlHasOneIdAndTheButtonsOneDefault) {
  for (const DialogTemplate* d : AllTemplates()) {
    std::set<int> ids;
    int defaults = 0;
    for (const ControlTemplate& c : d->controls) {
      if (c.id != kNoControlId) {
        EXPECT_TRUE(ids.insert(c.id).second) << d->resourceId << " " << c.id;
      }
      if (c.kind == ControlKind::DefaultPushButton) ++defaults;
      // Inside the window.
      EXPECT_LE(c.x + c.width, d->width) << d->resourceId << " " << c.id;
      EXPECT_GE(c.x, 0);
    }
    EXPECT_EQ(d->fontName, u"MS Shell Dlg");
    EXPECT_EQ(d->pointSize, 8);
    ASSERT_NE(d->Find(kIdCancel), nullptr);
    // The progress window asks nothing: Cancel only, and not by Enter.
    if (d == &ProgressTemplate()) {
      EXPECT_EQ(defaults, 0);
      EXPECT_EQ(d->Find(kIdOk), nullptr);
      EXPECT_EQ(d->Find(kIdCancel)->kind, ControlKind::PushButton);
      continue;
    }
    EXPECT_EQ(defaults, 1) << d->resourceId;
    ASSERT_NE(d->Find(kIdOk), nullptr);
    EXPECT_EQ(d->Find(kIdOk)->kind, ControlKind::DefaultPushButton) << d->resourceId;
    if (d != &CrashReportTemplate()) {
      EXPECT_EQ(d->Find(kIdOk)->text, u"OK");
      EXPECT_EQ(d->Find(kIdCancel)->text, u"Cancel");
    }
  }
  EXPECT_TRUE(LoginTemplate().Find(LoginIds::kPassword)->Has(kPassword));
  EXPECT_TRUE(DeviceAuthorizationTemplate().Find(DeviceIds::kUserName)->Has(kReadOnly));
}

TEST(ResourceScript, StringsUseTheScriptsQuotingRules) {
  EXPECT_EQ(ResourceString(u"plain"), "\"plain\"");
  EXPECT_EQ(ResourceString(u"say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(ResourceString(u"a\nb\\c\td"), "\"a\\nb\\\\c\\td\"");
  EXPECT_EQ(ResourceString(u"\u00e9"), "\"\xc3\xa9\"");
}

TEST(ResourceScript, HoldsEachDialogWithItsControls) {
  const std::string rc = RenderResourceScript(AllTemplates());
  EXPECT_NE(rc.find("101 DIALOGEX 0, 0, 285, 86\n"), std::string::npos);
  EXPECT_NE(rc.find("105 DIALOGEX 0, 0, 309, 145\n"), std::string::npos);
  EXPECT_NE(rc.find("CAPTION \"Vendra Software - New Device Authorization\"\n"), std::string::npos);
  EXPECT_NE(rc.find("FONT 8, \"MS Shell Dlg\", 0, 0, 0x1\n"), std::string::npos);
  EXPECT_NE(rc.find("    EDITTEXT        1002, 42, 48, 121, 14, ES_PASSWORD | ES_AUTOHSCROLL\n"),
            std::string::npos);
  EXPECT_NE(rc.find("    EDITTEXT        1014, 131, 7, 98, 14, ES_READONLY | ES_AUTOHSCROLL\n"),
            std::string::npos);
  EXPECT_NE(rc.find("    COMBOBOX        1009, 103, 66, 60, 74, CBS_DROPDOWN | WS_VSCROLL | "
                    "WS_TABSTOP\n"),
            std::string::npos);
  EXPECT_NE(rc.find("    DEFPUSHBUTTON   \"OK\", 1, 198, 124, 50, 14\n"), std::string::npos);
  EXPECT_NE(rc.find("    CTEXT           \"Please enter"), std::string::npos);
  // Texts that change are never read for mnemonics ("&" in a file name).
  EXPECT_NE(rc.find("    LTEXT           \"\", 1021, 7, 19, 296, 8, SS_NOPREFIX | "
                    "SS_PATHELLIPSIS\n"),
            std::string::npos);
  EXPECT_NE(rc.find("    CONTROL         \"\", 1022, \"msctls_progress32\", WS_BORDER, 7, 32, "
                    "296, 12\n"),
            std::string::npos);
}

#ifdef VENDRA_DIALOGS_RC
// The Windows build compiles the committed script; it must be the one the
// templates make (regenerate with the ui_resource_script target).
TEST(ResourceScript, CommittedScriptIsUpToDate) {
  std::ifstream in(VENDRA_DIALOGS_RC, std::ios::binary);
  ASSERT_TRUE(in) << VENDRA_DIALOGS_RC;
  std::stringstream committed;
  committed << in.rdbuf();
  EXPECT_EQ(committed.str(), RenderResourceScript(AllTemplates()))
      << "ui/win32/dialogs.rc is stale: cmake --build <build folder> --target ui_resource_script";
}
#endif
