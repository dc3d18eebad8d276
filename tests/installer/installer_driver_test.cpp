#include "installer/installer_driver.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>
#endif

#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "json/object.h"
#include "platform/known_folders.h"
#include "platform/launcher.h"
#include "platform/paths.h"
#include "tests/installer/driver_fakes.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

using namespace VendraTest;
using VendraClient::eVClientResult;

namespace {

constexpr char16_t kCaption[] = u"Tandory Installer failed";

VendraJSON::VSJObject* BuildList(const char16_t* version) {
  auto* live = VendraJSON::VSJObject::Create();
  if (version) live->SetString(u"version", version);
  auto* list = VendraJSON::VSJObject::Create();
  list->SetAdopted(u"live", live);
  return list;
}

// One run's worth of scripted services.
struct Harness {
  Harness() {
    client.makeBuildList = [] { return BuildList(u"1.4.2"); };
    client.heard = launcher.heard = [this](const std::string& call) {
      Note(&order, call.substr(0, call.find(' ')));
    };
    packageManager.order = box.order = terminator.order = &order;
  }
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  int Run(const std::u16string& installFolder) {
    VendraInstaller::DriverServices services{client, packageManager, launcher, box, terminator};
    VendraInstaller::InstallerDriver driver(services, installFolder);
    return driver.Run();
  }
  void RegisterProduct(const std::u16string& installFolder) {
    VendraInstaller::DriverServices services{client, packageManager, launcher, box, terminator};
    VendraInstaller::InstallerDriver(services, installFolder).RegisterProduct();
  }

  FakeClient client;
  ScriptedPackageManager packageManager;
  RecordingLauncher launcher;
  RecordingMessageBox box;
  RecordingTerminator terminator;
  CallOrder order;
};

class Driver : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path()); }
  void TearDown() override { SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  int Run() { return h_.Run(install_.wpath()); }

  std::u16string DataFolder() {
    return VendraPlatform::PathAppend(VendraPlatform::CommonAppDataFolder(), u"Vendra Software");
  }

  TempFolder machine_;
  TempFolder install_;
  Harness h_;
  FakeClient& client_ = h_.client;
  ScriptedPackageManager& packageManager_ = h_.packageManager;
  RecordingLauncher& launcher_ = h_.launcher;
  RecordingMessageBox& box_ = h_.box;
  RecordingTerminator& terminator_ = h_.terminator;
};

}  // namespace

TEST_F(Driver, CancelledSignInShowsTheLoginBoxAndStops) {
  client_.ensureLoginAnswer = {eVClientResult::LoginCancelled,
                               u"User clicked Cancel in Login window"};
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(box_.texts.size(), 1u);
  EXPECT_EQ(box_.captions[0], kCaption);
  EXPECT_EQ(box_.texts[0],
            u"Vendra Software Login failed\n\nError Code -109\nUser clicked Cancel in Login window");
  EXPECT_EQ(h_.order, (CallOrder{"EnsureLogin", "Show"}));
  EXPECT_EQ(packageManager_.calls, 0);
  EXPECT_EQ(launcher_.launches, 0);
  EXPECT_TRUE(terminator_.codes.empty()) << "a failed step ends with a normal exit";
  // The entry this first run wrote is taken back; one listed before a run
  // stays, as does one for a folder that holds an install.
  EXPECT_FALSE(VendraClient::UninstallEntryExists(u"Tandory"));
  h_.RegisterProduct(install_.wpath());
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(VendraClient::UninstallEntryExists(u"Tandory"));
  VendraClient::ClearUninstallEntry(u"Tandory");
  WriteTextFile(install_.Sub("VendraBuild.install.json"), "{}");
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(VendraClient::UninstallEntryExists(u"Tandory"));
}

TEST_F(Driver, EachFailingStepHasItsHeading) {
  // Each failure comes after the steps before it and stops the run at once.
  const CallOrder toDevice{"EnsureLogin", "EnsureDeviceAuthorized", "Show"};
  const CallOrder toPackageManager{"EnsureLogin", "EnsureDeviceAuthorized",
                                   "EnsurePackageManager", "Show"};
  const CallOrder toBuildList{"EnsureLogin", "EnsureDeviceAuthorized", "EnsurePackageManager",
                              "GetBuilds", "Show"};
  // Failures before the package manager is in place take back the entry
  // the run made; later ones leave it, since its commands now work.
  struct Case {
    std::function<void(Harness&)> fail;
    std::u16string text;
    CallOrder order;
    bool listed = true;
  } cases[] = {
      {[](Harness& d) {
         d.client.ensureDeviceAnswer.result = eVClientResult::LocalTokenRequired;
         d.client.ensureDeviceAnswer.error = u"Local Token Required";
       },
       u"Vendra Software Device authorization failed\n\nError Code -104\nLocal Token Required",
       toDevice, false},
      {[](Harness& d) {
         d.packageManager.result = eVClientResult::VerifyFailed;
         d.packageManager.errorText = u"checksum";
       },
       u"Failed to download Vendra Software Package Manager (VendraBuild.exe)\n\nError Code -112\n"
       u"checksum",
       toPackageManager, false},
      {[](Harness& d) {
         d.client.buildsAnswer.result = eVClientResult::AccessTokenRequired;
         d.client.buildsAnswer.error = u"Accss Token Required";
         d.client.makeBuildList = nullptr;
       },
       u"Failed to get latest build list\n\nError Code -100\nAccss Token Required", toBuildList},
      {[](Harness& d) { d.client.makeBuildList = nullptr; },
       u"Failed to get latest build list\n\nBuild list missing latest 'live' build data.",
       toBuildList},
      {[](Harness& d) {
         d.client.makeBuildList = [] {
           auto* list = VendraJSON::VSJObject::Create();
           list->SetString(u"live", u"1.0");
           return list;
         };
       },
       u"Failed to get latest build list\n\nBuild list missing latest 'live' build data.",
       toBuildList},
      {[](Harness& d) { d.client.makeBuildList = [] { return VendraJSON::VSJObject::Create(); }; },
       u"Failed to get latest build list\n\nBuild list missing latest 'live' build data.",
       toBuildList},
      {[](Harness& d) { d.client.makeBuildList = [] { return BuildList(nullptr); }; },
       u"Failed to get latest build list\n\nBuild list missing latest 'live' build version.",
       toBuildList},
  };
  for (auto& c : cases) {
    Harness h;
    c.fail(h);
    EXPECT_EQ(h.Run(install_.wpath()), 0);
    ASSERT_EQ(h.box.texts.size(), 1u) << VendraText::Utf16ToUtf8(c.text);
    EXPECT_EQ(h.box.captions[0], kCaption);
    EXPECT_EQ(h.box.texts[0], c.text);
    EXPECT_EQ(h.order, c.order) << VendraText::Utf16ToUtf8(c.text);
    EXPECT_EQ(h.launcher.launches, 0);
    EXPECT_TRUE(h.terminator.codes.empty());
    EXPECT_EQ(VendraClient::UninstallEntryExists(u"Tandory"), c.listed);
  }
}

TEST_F(Driver, HandsOverToThePackageManagerAndEndsTheProcess) {
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(box_.texts.empty());
  // Signed in, then the device, then the package manager is in place before
  // the build list is asked for and the package manager is started.
  EXPECT_EQ(h_.order, (CallOrder{"EnsureLogin", "EnsureDeviceAuthorized", "EnsurePackageManager",
                                 "GetBuilds", "Open", "Terminate"}));
  ASSERT_EQ(client_.calls.size(), 3u);
  EXPECT_EQ(client_.calls[2], "GetBuilds TDY-UPLINK | Tandory Installer 1.00 | 0");
  const std::u16string utils = VendraPlatform::PathAppend(DataFolder(), u"utils\\");
  EXPECT_EQ(launcher_.program, utils + u"VendraBuild.exe");
  EXPECT_EQ(launcher_.workingFolder, utils);
  EXPECT_EQ(utils.back(), VendraPlatform::kPathSeparator);
  const std::u16string folder = install_.wpath();
  EXPECT_EQ(launcher_.parameters,
            u"install tdy \"live\" \"1.4.2\" \"" + folder + u"\" \"" +
                VendraPlatform::JoinFileName(folder, u"Tandory.exe") + u"\"");
  EXPECT_EQ(terminator_.codes, std::vector<uint32_t>{0});
}

#ifndef _WIN32
// An install folder whose name holds quotes and ends in a backslash (both
// legal on Linux) reaches the package manager, started by the real launcher,
// as one argument, and so does the program's path inside it.
TEST_F(Driver, FolderWithQuotesAndTrailingBackslashStaysOneArgument) {
  const std::string name = install_.Sub("a \"b\" c\\");
  std::filesystem::create_directory(name);
  const std::u16string folder = VendraText::Utf8ToUtf16(name);
  const std::u16string utils = VendraPlatform::PathAppend(DataFolder(), u"utils");
  std::filesystem::create_directories(VendraText::Utf16ToUtf8(utils));
  const std::string program = VendraText::Utf16ToUtf8(utils) + "/VendraBuild.exe";
  const std::string marker = install_.Sub("arguments");
  WriteTextFile(program, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" +
                             marker + ".tmp'\nmv '" + marker + ".tmp' '" + marker + "'\n");
  ::chmod(program.c_str(), 0755);

  VendraInstaller::DriverServices services{h_.client, h_.packageManager,
                                           VendraPlatform::SystemLauncher(), h_.box,
                                           h_.terminator};
  VendraInstaller::InstallerDriver driver(services, folder);
  EXPECT_EQ(driver.Run(), 0);
  EXPECT_TRUE(box_.texts.empty());
  for (int i = 0; i < 500 && !std::filesystem::exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::string executable =
      VendraText::Utf16ToUtf8(VendraPlatform::JoinFileName(folder, u"Tandory.exe"));
  EXPECT_EQ(ReadTextFile(marker),
            "[install]\n[tdy]\n[live]\n[1.4.2]\n[" + name + "]\n[" + executable + "]\n");
}
#endif

TEST_F(Driver, NumericVersionIsHandedOverAsText) {
  client_.makeBuildList = [] {
    auto* live = VendraJSON::VSJObject::Create();
    live->SetInteger(u"version", 7);
    auto* list = VendraJSON::VSJObject::Create();
    list->SetAdopted(u"live", live);
    return list;
  };
  Run();
  EXPECT_EQ(launcher_.parameters.substr(0, 24), u"install tdy \"live\" \"7\" \"");
}

TEST_F(Driver, LaunchAnswersAreShownAndTheProcessEndsWithZeroEveryTime) {
  const std::pair<uint32_t, std::u16string> cases[] = {
      {2, u"ERROR_FILE_NOT_FOUND"},  {3, u"ERROR_PATH_NOT_FOUND"},
      {5, u"SE_ERR_ACCESSDENIED"},   {11, u"ERROR_BAD_FORMAT"},
      {27, u"SE_ERR_ASSOCINCOMPLETE"}, {31, u"ShellExecuteW result 31"},
      {0, u"ShellExecuteW result 0"}, {32, u"ShellExecuteW result 32"},
      {33, u""},                      {42, u""},
  };
  for (const auto& [answer, detail] : cases) {
    Harness h;
    h.launcher.answer = answer;
    EXPECT_EQ(h.Run(install_.wpath()), 0);
    if (detail.empty()) {
      EXPECT_TRUE(h.box.texts.empty()) << answer;
    } else {
      ASSERT_EQ(h.box.texts.size(), 1u) << answer;
      EXPECT_EQ(h.box.texts[0],
                u"Failed to launch Vendra Software Package Manager (VendraBuild.exe) to complete "
                u"installation.\n\n" + detail);
    }
    // The box is read before the process ends.
    CallOrder tail{"Open", "Terminate"};
    if (!detail.empty()) tail.insert(tail.begin() + 1, "Show");
    ASSERT_GE(h.order.size(), tail.size());
    EXPECT_EQ(CallOrder(h.order.end() - tail.size(), h.order.end()), tail) << answer;
    EXPECT_EQ(h.terminator.codes, std::vector<uint32_t>{0}) << answer;
  }
}

TEST_F(Driver, LongDetailIsCutAt2047Characters) {
  client_.ensureLoginAnswer = {eVClientResult::ServiceError, std::u16string(5000, u'x')};
  Run();
  ASSERT_EQ(box_.texts.size(), 1u);
  const std::u16string heading = u"Vendra Software Login failed\n\n";
  ASSERT_EQ(box_.texts[0].size(), heading.size() + 2047);
  EXPECT_EQ(box_.texts[0].substr(heading.size(), 20), u"Error Code -106\nxxxx");
}
