// Reporting a crash end to end: the Crash Report window on a scripted
// backend, the real crash reporter program started below the data folder,
// and the service on loopback where the report lands.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "client/v_client.h"
#include "common/text/utf.h"
#include "client/crash_report_object.h"
#include "crash/crash_report_submission.h"
#include "crash/reporter_handover.h"
#include "tests/support/environment.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/dialog_ids.h"

namespace {

using namespace std::chrono_literals;
using VendraClient::eVClientResult;
using VendraTest::WriteServiceFile;
using VendraUiTest::Press;
using VendraUiTest::TypeAndPress;

class ReportCrashTest : public ::testing::Test {
 protected:
  void SetUp() override { Begin(machine_.path()); }

  void Begin(const std::string& machineRoot) {
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machineRoot);
    WriteServiceFile(machineRoot, "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    std::string failure;
    ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                                failure))
        << failure;
    client_ = std::make_unique<VendraClient::VClient>();
  }
  void TearDown() override {
    VendraCrash::SetReporterWindowWaitForTesting(VendraCrash::kReporterWindowWait);
    client_.reset();
    VendraTest::SetEnvironment("VENDRA_SERVICE_URL", "");
    VendraTest::SetEnvironment("VENDRA_CA_FILE", "");
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
#ifdef _WIN32
    for (const char* name : {"VENDRA_TEST_REPORTER_MARK", "VENDRA_TEST_REPORTER_DELAY_MS"})
      VendraTest::SetEnvironment(name, "");
#endif
  }

  std::string DataPath(const std::u16string& relative) {
    std::u16string path;
    client_->GetDataPath(relative, path);
    return VendraText::Utf16ToUtf8(path);
  }

  // Puts a stand-in where the reporter belongs: it leaves the mark (a file)
  // when one is named, waits the seconds given, then runs the real reporter
  // with its own command line when asked to (not on Windows, see
  // InstallReporter).
  void InstallStandIn(const std::string& mark, int delaySeconds, bool runReporter) {
    const std::string path = DataPath(VendraCrash::kReporterRelativePath);
    const std::filesystem::path native(VendraText::Utf8ToUtf16(path));
    std::filesystem::create_directories(native.parent_path());
#ifdef _WIN32
    // The real reporter itself, or a program of our own told what to do by
    // the environment it inherits.
    std::filesystem::copy_file(runReporter ? VENDRA_CRASH_REPORTER : VENDRA_REPORTER_STAND_IN,
                               native, std::filesystem::copy_options::overwrite_existing);
    VendraTest::SetEnvironment("VENDRA_TEST_REPORTER_MARK", mark);
    VendraTest::SetEnvironment("VENDRA_TEST_REPORTER_DELAY_MS",
                               delaySeconds ? std::to_string(delaySeconds * 1000) : "");
#else
    std::string body = "#!/bin/sh\n";
    if (!mark.empty()) body += "touch '" + mark + "'\n";
    if (delaySeconds) body += "sleep " + std::to_string(delaySeconds) + "\n";
    if (runReporter) body += "exec '" + std::string(VENDRA_CRASH_REPORTER) + "' \"$@\"\n";
    VendraTest::WriteTextFile(path, body);
    std::filesystem::permissions(native, std::filesystem::perms::owner_all |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::group_exec |
                                             std::filesystem::perms::others_read |
                                             std::filesystem::perms::others_exec);
#endif
  }
  // The real reporter, started after a pause. On Windows the report is
  // written into the memory of the very process the client starts, so there
  // the reporter itself stands in its place and starts at once.
  void InstallReporter(int delaySeconds = 0) { InstallStandIn("", delaySeconds, true); }

  Vendra::RefPtr<VendraJSON::VSJObject> Report() {
    VendraClient::CrashFacts facts;
    facts.project = "Tandory";
    facts.version = "1.2.3";
    facts.build = 77;
    facts.executable = std::u16string(u"Tand\u00f6ry.exe");
    facts.executableTime = 1700000000;
    facts.module = std::string("render.dll");
    facts.addressInModule = 0x1234;
    facts.exception = 0xC0000005LL;
    facts.report = "Access violation\nin render.dll \xe2\x9c\x93";
    return VendraClient::MakeCrashReport(facts);
  }

  eVClientResult Report(VendraJSON::VSJObject* report, std::u16string& error) {
    return VendraCrash::ReportCrash(*client_, report, {backend_, state_}, error);
  }

  // The reports the service has stored, waiting up to timeout for count.
  std::vector<nlohmann::json> StoredReports(size_t count, std::chrono::seconds timeout = 20s) {
    const auto folder = std::filesystem::path(serviceRoot_.path()) / "crashreports";
    const auto until = std::chrono::steady_clock::now() + timeout;
    std::vector<nlohmann::json> reports;
    do {
      reports.clear();
      std::error_code ignored;
      if (std::filesystem::exists(folder, ignored))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
          reports.push_back(nlohmann::json::parse(VendraTest::ReadTextFile(entry.path().string()),
                                                  nullptr, false));
      if (reports.size() >= count) break;
      std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < until);
    return reports;
  }

  VendraTest::TempFolder machine_;
  VendraTest::TempFolder serviceRoot_;
  std::unique_ptr<VendraTest::ServiceProcess> service_;
  VendraTest::SignedInSession session_;
  std::unique_ptr<VendraClient::VClient> client_;
  VendraUiTest::ScriptedBackend backend_;
  VendraUi::CrashWindowState state_;
};

TEST_F(ReportCrashTest, AnAcceptedReportWithNotesLandsAtTheServiceIntact) {
  InstallReporter();
  backend_.Then(TypeAndPress({{VendraUi::CrashIds::kNotes, u"I pressed \u201cSave\u201d"}},
                             VendraUi::kIdOk));
  const auto report = Report();
  std::u16string error = u"stale";
  ASSERT_EQ(Report(report.get(), error), eVClientResult::Success) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(error, u"");
  const auto stored = StoredReports(1);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0]["username"], session_.user);
  const nlohmann::json& r = stored[0]["report"];
  EXPECT_EQ(r["project"], "Tandory");
  EXPECT_EQ(r["build"], 77);
  EXPECT_EQ(r["executable"], "Tand\xc3\xb6ry.exe");
  EXPECT_EQ(r["exception"], 3221225477LL);
  EXPECT_EQ(r["report"], "Access violation\nin render.dll \xe2\x9c\x93");
  EXPECT_EQ(r["user_notes"], "I pressed \xe2\x80\x9cSave\xe2\x80\x9d");
}

TEST_F(ReportCrashTest, ReportErrorWithEmptyNotesSendsNoNotesKey) {
  InstallReporter();
  backend_.Then(Press(VendraUi::kIdOk));
  std::u16string error;
  ASSERT_EQ(Report(Report().get(), error), eVClientResult::Success);
  const auto stored = StoredReports(1);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_TRUE(stored[0]["report"].contains("report"));
  EXPECT_FALSE(stored[0]["report"].contains("user_notes"));
}

TEST_F(ReportCrashTest, DecliningGivesMinusFiveAndStartsNoReporter) {
  const std::string marker = machine_.Sub("reporter-started");
  InstallStandIn(marker, 0, false);
  backend_.Then(Press(VendraUi::kIdCancel));
  std::u16string error;
  EXPECT_EQ(Report(Report().get(), error), eVClientResult::Cancelled);
  EXPECT_EQ(error, u"User clicked Cancel in Crash Report window");
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(ReportCrashTest, AWindowThatCannotBeMadeStillHandsTheReportOverWithoutNotes) {
  InstallReporter();
  backend_.FailNext(1400);
  std::u16string error;
  EXPECT_EQ(Report(Report().get(), error), eVClientResult::Success);
  EXPECT_EQ(error, u"");
  const auto stored = StoredReports(1);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0]["report"]["project"], "Tandory");
}

TEST_F(ReportCrashTest, AMissingReporterProgramGivesFileNotFound) {
  backend_.Then(Press(VendraUi::kIdOk));
  std::u16string error;
  EXPECT_EQ(Report(Report().get(), error), eVClientResult::LaunchFailed);
  EXPECT_EQ(error, u"CreateProcess Failed. GetLastError() = 2");
}

TEST_F(ReportCrashTest, AReporterThatNeverOpensItsWindowGivesUpAfterTheWait) {
  InstallStandIn("", 5, false);
  VendraCrash::SetReporterWindowWaitForTesting(1000ms);
  backend_.Then(Press(VendraUi::kIdOk));
  std::u16string error;
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(Report(Report().get(), error), eVClientResult::LaunchFailed);
  EXPECT_GE(std::chrono::steady_clock::now() - began, 1000ms);
  EXPECT_EQ(error, u"CreateProcess failed. No Crash Reporter window found!");
}

TEST_F(ReportCrashTest, AWindowOpenedJustInsideTheWaitIsUsed) {
#ifdef _WIN32
  GTEST_SKIP() << "the report goes into the memory of the process the client starts: a "
                  "stand-in that starts the reporter late cannot pass it on";
#endif
  InstallReporter(2);
  VendraCrash::SetReporterWindowWaitForTesting(4000ms);
  backend_.Then(Press(VendraUi::kIdOk));
  std::u16string error;
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(Report(Report().get(), error), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_GE(std::chrono::steady_clock::now() - began, 2000ms);
  EXPECT_EQ(StoredReports(1).size(), 1u);
}

TEST_F(ReportCrashTest, AReportTheServiceCannotTakeIsKeptInTheDataFolder) {
  InstallReporter();
  service_->Stop();
  backend_.Then(Press(VendraUi::kIdOk));
  std::u16string error;
  ASSERT_EQ(Report(Report().get(), error), eVClientResult::Success);
  const auto folder = std::filesystem::path(DataPath(u"crashreports"));
  std::string kept;
  for (int i = 0; i < 400 && kept.empty(); ++i) {
    std::error_code ignored;
    if (std::filesystem::exists(folder, ignored))
      for (const auto& entry : std::filesystem::directory_iterator(folder))
        kept = VendraTest::ReadTextFile(entry.path().string());
    if (kept.empty()) std::this_thread::sleep_for(50ms);
  }
  const nlohmann::json report = nlohmann::json::parse(kept, nullptr, false);
  ASSERT_TRUE(report.is_object()) << kept;
  EXPECT_EQ(report["project"], "Tandory");
  EXPECT_EQ(report["report"], "Access violation\nin render.dll \xe2\x9c\x93");
}

TEST_F(ReportCrashTest, NoReportObjectIsRefusedBeforeAnyWindow) {
  std::u16string error;
  EXPECT_EQ(Report(nullptr, error), eVClientResult::Failed);
  EXPECT_EQ(error, u"CrashReport Required");
  EXPECT_TRUE(backend_.shown.empty());
}

// A data folder whose path is longer than 512 characters: the command line
// carries the whole path, so the reporter that starts is the right one.
class DeepReportCrashTest : public ReportCrashTest {
 protected:
  void SetUp() override {
    std::string deep = machine_.path();
    for (int i = 0; i < 5; ++i) deep += "/" + std::string(110, static_cast<char>('a' + i));
    Begin(deep);
  }
};

TEST_F(DeepReportCrashTest, TheReporterBelowALongDataFolderIsStartedAndUsed) {
#ifdef _WIN32
  GTEST_SKIP() << "CreateProcess starts no program whose path is longer than MAX_PATH (260)";
#endif
  ASSERT_GT(DataPath(VendraCrash::kReporterRelativePath).size(), 512u);
  InstallReporter();
  backend_.Then(Press(VendraUi::kIdOk));
  std::u16string error;
  EXPECT_EQ(Report(Report().get(), error), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(StoredReports(1).size(), 1u);
}

#ifndef _WIN32
// Another user made utils first and put a "reporter" there: the crashing
// program never starts it. Run by root it sets the folder aside and the
// hand-over finds no reporter; run by a standard user it leaves the folder. (POSIX owners and modes: Wine keeps no
// access lists on files.)
TEST_F(ReportCrashTest, AReporterPlantedByAnotherUserIsNeverStarted) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to play the other user";
  const std::string data = DataPath(u"");
  for (std::filesystem::path p = std::filesystem::path(data).parent_path();
       p != std::filesystem::path(machine_.path()).parent_path(); p = p.parent_path())
    std::filesystem::permissions(p, std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
  const std::string marker = data + "/planted-reporter-ran";
  ASSERT_EQ(VendraTest::RunUnprivileged([&] {
              if (::mkdir((data + "/utils").c_str(), 0755) != 0) return 1;
              const std::string reporter = DataPath(VendraCrash::kReporterRelativePath);
              VendraTest::WriteTextFile(reporter, "#!/bin/sh\ntouch '" + marker + "'\n");
              return ::chmod(reporter.c_str(), 0755) == 0 ? 0 : 2;
            }),
            0);
  backend_.Then(Press(VendraUi::kIdOk));
  const auto report = Report();
  std::u16string error;
  EXPECT_EQ(Report(report.get(), error), eVClientResult::LaunchFailed)
      << "a reporter that cannot be started, as when it is missing";
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(std::filesystem::exists(marker));
  struct stat st {};
  ASSERT_EQ(::stat((data + "/utils").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);

  // A standard user's program finds a third user's folder: it starts
  // nothing from it and leaves it where it is for an administrator's run.
  std::filesystem::remove_all(data + "/utils");
  const std::string reporter = DataPath(VendraCrash::kReporterRelativePath);
  ASSERT_EQ(::mkdir((data + "/utils").c_str(), 0755), 0);
  VendraTest::WriteTextFile(reporter, "#!/bin/sh\ntouch '" + marker + "'\n");
  ASSERT_EQ(::chmod(reporter.c_str(), 0755), 0);
  for (const std::string& path : {data + "/utils", reporter})
    ASSERT_EQ(::chown(path.c_str(), 54321, 54321), 0);
  ASSERT_EQ(VendraTest::RunUnprivileged([&] {
              // Machine places relocated count as the caller's own.
              ::unsetenv("VENDRA_MACHINE_ROOT");
              backend_.Then(Press(VendraUi::kIdOk));
              std::u16string text;
              if (Report(report.get(), text) != eVClientResult::LaunchFailed) return 1;
              return text.find(u"belongs to user 54321") != std::u16string::npos ? 0 : 2;
            }),
            0);
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(std::filesystem::exists(marker));
  ASSERT_EQ(::stat((data + "/utils").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 54321u) << "left for an administrator's run";
}
#endif  // _WIN32

}  // namespace
