// VendraBuild.exe as the installer starts it, with no console to write to,
// against the service on loopback: its progress window, captioned with the
// product's name from its uninstall entry and with a minimise box, shows
// the install's step, file, bar and amounts as they move; Cancel ends the run with the
// cancelled exit code and every file in the folder whole; a rerun finishes
// the install with the window closing by itself. A failure, which nobody
// reads on standard error there, is shown in a box.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "platform/command_line.h"
#include "tests/support/environment.h"
#include "tests/support/service_process.h"
#include "tests/support/shell.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kCaption[] = L"Installing Tandory 2.0 - Vendra Software";
constexpr int kStep = 1020;
constexpr int kFile = 1021;
constexpr int kBar = 1022;
constexpr int kFigures = 1023;

std::wstring TextOf(HWND w) {
  wchar_t buffer[1024] = {};
  ::SendMessageW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

std::string Noise(size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  std::mt19937 random(seed);
  for (auto& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// Starts VendraBuild.exe with words detached, as a window's program starts
// it: no console, no standard handles.
HANDLE StartDetached(const std::vector<std::string>& words) {
  std::u16string program = VendraText::Utf8ToUtf16(VENDRA_BUILD_PROGRAM);
  std::u16string line = VendraPlatform::QuoteCommandLineArgument(program);
  for (const std::string& word : words)
    line += u" " + VendraPlatform::QuoteCommandLineArgument(VendraText::Utf8ToUtf16(word));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(reinterpret_cast<const wchar_t*>(program.c_str()),
                        reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS, nullptr, nullptr, &startup, &process))
    return nullptr;
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

int Wait(HANDLE process, int seconds = 120) {
  int code = -1;
  if (::WaitForSingleObject(process, static_cast<DWORD>(seconds) * 1000) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    if (::GetExitCodeProcess(process, &exitCode)) code = static_cast<int>(exitCode);
  } else {
    ::TerminateProcess(process, 99);
  }
  ::CloseHandle(process);
  return code;
}

// What the window showed while the test watched it.
struct Watched {
  bool found = false;
  bool minimizable = false;
  std::set<std::wstring> steps;
  std::set<std::wstring> files;
  std::set<std::wstring> figures;
  std::set<LRESULT> bar;
};

class ProgressWindowRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    WriteTextFile(folders_.Sub("config.json"), R"({"accept_unsigned_builds": true})");
    SetEnvironment("VENDRA_BUILD_CONFIG", folders_.Sub("config.json"));
    std::string failure;
    ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                                failure))
        << failure;
    // A build of several files, published by the release engineer's tool.
    const std::string source = folders_.Sub("release");
    fs::create_directories(fs::path(VendraText::Utf8ToUtf16(source + "/data")));
    for (int i = 0; i < 6; ++i) {
      const std::string name = "data/part" + std::to_string(i) + ".bin";
      files_[name] = Noise(400 * 1024, static_cast<unsigned>(i + 1));
      WriteTextFile(source + "/" + name, files_[name]);
    }
    files_["Tandory.exe"] = "not a program";
    WriteTextFile(source + "/Tandory.exe", files_["Tandory.exe"]);
    ASSERT_EQ(RunShell(ShellQuoted(VENDRA_LINUX_CATALOGUE) + " publish --unsigned --root " +
                       ShellPath(serviceRoot_.path()) +
                       " --product tdy --branch live --version 2.0 " + ShellPath(source) +
                       " >/dev/null 2>&1"),
              0);
    folder_ = folders_.Sub("Tandory");
    // The installer's entry for the folder, which names the product.
    VendraClient::UninstallEntry entry(u"Tandory", u"", u"", u"", 0);
    entry.installLocation = VendraText::Utf8ToUtf16(folder_);
    std::u16string error;
    ASSERT_EQ(VendraClient::WriteUninstallEntry(entry, u"Tandory", error),
              VendraClient::eVClientResult::Success);
  }
  void TearDown() override {
    for (const char* name :
         {"VENDRA_SERVICE_URL", "VENDRA_CA_FILE", "VENDRA_BUILD_CONFIG", "VENDRA_MACHINE_ROOT"})
      SetEnvironment(name, "");
  }

  HANDLE Start(const std::string& version = "2.0") {
    return StartDetached({"install", "tdy", "live", version, folder_, "Tandory.exe"});
  }

  // Watches the window until stop says so (true: it did) or it goes.
  template <typename Stop>
  Watched Watch(Stop stop, int seconds = 90) {
    Watched seen;
    HWND window = nullptr;
    for (int i = 0; i < seconds * 50; ++i, ::Sleep(20)) {
      if (!window) window = ::FindWindowW(L"#32770", kCaption);
      if (!window) continue;
      if (!::IsWindow(window)) break;
      seen.found = true;
      seen.minimizable = (::GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZEBOX) != 0;
      seen.steps.insert(TextOf(::GetDlgItem(window, kStep)));
      seen.files.insert(TextOf(::GetDlgItem(window, kFile)));
      seen.figures.insert(TextOf(::GetDlgItem(window, kFigures)));
      seen.bar.insert(::SendDlgItemMessageW(window, kBar, PBM_GETPOS, 0, 0));
      if (stop(window)) break;
    }
    return seen;
  }

  // The files in the folder, each of them whole; how many.
  size_t WholeFiles() const {
    size_t whole = 0;
    for (const auto& [name, content] : files_) {
      const std::string path = folder_ + "/" + name;
      if (!fs::exists(fs::path(VendraText::Utf8ToUtf16(path)))) continue;
      EXPECT_EQ(ReadTextFile(path), content) << name << " is not whole";
      ++whole;
    }
    const fs::path folder(VendraText::Utf8ToUtf16(folder_));
    for (const auto& item : fs::recursive_directory_iterator(folder))
      EXPECT_NE(item.path().extension(), ".vbnew") << "no file on its way in";
    return whole;
  }
  std::string RecordState() const {
    const auto record =
        nlohmann::json::parse(ReadTextFile(folder_ + "/VendraBuild.install.json"), nullptr, false);
    return record.is_object() ? record.value("state", "") : "";
  }

  TempFolder machine_;
  TempFolder serviceRoot_;
  TempFolder folders_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::map<std::string, std::string> files_;
  std::string folder_;
};

TEST_F(ProgressWindowRunTest, CancelStopsWithEveryFileWholeAndARerunFinishes) {
  // Every download slowed to small steps, so that the window can be watched.
  std::string replies = "[";
  for (size_t i = 0; i < files_.size(); ++i)
    replies += std::string(i ? "," : "") + R"({"chunk_size":32768,"chunk_delay_ms":60})";
  ASSERT_TRUE(service_->Script("vclient/download", replies + "]"));
  HANDLE run = Start();
  ASSERT_NE(run, nullptr);
  // Cancel once a file is in place (several may land between two looks).
  const Watched seen = Watch([](HWND window) {
    const std::wstring step = TextOf(::GetDlgItem(window, kStep));
    const size_t open = step.find(L'(');
    if (open == std::wstring::npos || step.find(L" of 7 files in place)") == std::wstring::npos ||
        std::stoi(step.substr(open + 1)) < 1)
      return false;
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, IDCANCEL)));
    return true;
  });
  const int code = Wait(run);
  ASSERT_TRUE(service_->ClearScript());
  ASSERT_TRUE(seen.found) << "no progress window";
  EXPECT_TRUE(seen.minimizable);
  EXPECT_EQ(code, 3) << "the cancelled exit code";
  EXPECT_GE(seen.bar.size(), 3u) << "the bar moved";
  EXPECT_TRUE(seen.steps.count(L"Downloading (0 of 7 files in place)"));
  bool amounts = false;
  for (const auto& f : seen.figures) amounts |= f.find(L" of ") != std::wstring::npos &&
                                                f.find(L"/s") != std::wstring::npos;
  EXPECT_TRUE(amounts) << "bytes and rate shown";
  bool named = false;
  for (const auto& f : seen.files) named |= f.rfind(L"data\\part", 0) == 0;
  EXPECT_TRUE(named) << "a file with the system's separator";
  const size_t placed = WholeFiles();
  EXPECT_GE(placed, 1u);
  EXPECT_LT(placed, files_.size()) << "stopped before the end";
  EXPECT_EQ(RecordState(), "incomplete");

  // The rerun's window closes by itself when the install is done.
  HANDLE rerun = Start();
  ASSERT_NE(rerun, nullptr);
  const Watched again = Watch([](HWND) { return false; });
  std::wstring box;
  for (int i = 0; i < 100 && box.empty(); ++i, ::Sleep(20))
    if (HWND w = ::FindWindowW(L"#32770", L"VendraBuild")) {
      box = TextOf(::GetDlgItem(w, 0xFFFF));
      ::PostMessageW(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
  EXPECT_EQ(box, L"") << "a failure";
  EXPECT_EQ(Wait(rerun), 0);
  EXPECT_TRUE(again.found);
  EXPECT_EQ(WholeFiles(), files_.size());
  EXPECT_EQ(RecordState(), "complete");
}

TEST_F(ProgressWindowRunTest, AFailureIsShownInABoxAndEndsWithExitCode1) {
  HANDLE run = Start("9.9");
  ASSERT_NE(run, nullptr);
  HWND box = nullptr;
  for (int i = 0; i < 90 * 50 && !box; ++i, ::Sleep(20)) box = ::FindWindowW(L"#32770", L"VendraBuild");
  ASSERT_NE(box, nullptr) << "no box";
  // The text control of a message box.
  const std::wstring text = TextOf(::GetDlgItem(box, 0xFFFF));
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(Wait(run), 1);
  EXPECT_EQ(text.rfind(L"Failed to get the build", 0), 0u)
      << VendraText::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
  EXPECT_FALSE(fs::exists(fs::path(VendraText::Utf8ToUtf16(folder_ + "/VendraBuild.install.json"))));
}

// Without a stored session an unattended run opens no Login window, which
// nobody would answer: it ends at once with exit code 1.
TEST(UnattendedRunTest, WithoutASessionItFailsAtOnceWithoutAWindow) {
  TempFolder machine;
  TempFolder folder;
  SetEnvironment("VENDRA_MACHINE_ROOT", machine.path());
  HANDLE run = StartDetached({"--non-interactive", "install", "tdy", "live", "1.0",
                              folder.Sub("Tandory"), "Tandory.exe"});
  ASSERT_NE(run, nullptr);
  bool windowSeen = false;
  for (int i = 0; i < 20 * 50 && ::WaitForSingleObject(run, 20) == WAIT_TIMEOUT; ++i)
    windowSeen |= ::FindWindowW(L"#32770", L"Vendra Software") != nullptr;
  EXPECT_FALSE(windowSeen) << "the Login window opened";
  EXPECT_EQ(Wait(run, 5), 1);
  SetEnvironment("VENDRA_MACHINE_ROOT", "");
}

}  // namespace
}  // namespace VendraTest
