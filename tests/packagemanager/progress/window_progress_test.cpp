#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packagemanager/progress/activity_log.h"
#include "packagemanager/progress/window_progress.h"

namespace VendraTest {
namespace {

using VendraBuild::InstallPhase;
using VendraBuild::InstallProgress;

// Keeps every view the window would draw; Cancel as the test presses it.
class RecordingFeed final : public VendraUi::IProgressFeed {
 public:
  void Show(const VendraUi::ProgressView& view) override { views.push_back(view); }
  bool CancelRequested() override { return cancel; }

  std::vector<VendraUi::ProgressView> views;
  bool cancel = false;
};

bool Has(const std::vector<VendraUi::ProgressView>& views, const std::u16string& step,
         const std::u16string& file, const std::u16string& figures, int permille) {
  for (const auto& v : views)
    if (v.step == step && v.file == file && v.figures == figures && v.permille == permille)
      return true;
  return false;
}

// Two files downloaded at 1 MB a second, then placed, on a clock the test
// moves: the window's lines say what is done, to which file, how far, how
// fast and how long still, with the system's separator; a name from the
// service cannot steer anything.
TEST(WindowProgressTest, ViewsCarryStepFileAmountsAndBar) {
  double now = 0;
  RecordingFeed feed;
  VendraBuild::WindowProgress window(feed, [&] { return now; });
  InstallProgress p;
  p.phase = InstallPhase::Fetching;
  window.OnProgress(p);
  ASSERT_EQ(feed.views.size(), 1u);
  EXPECT_EQ(feed.views[0].step, u"Fetching the build");
  EXPECT_EQ(feed.views[0].figures, u"");
  p.phase = InstallPhase::Downloading;
  p.downloadTotal = 2000000;
  p.installTotal = 4000000;
  p.filesTotal = 2;
  const char* names[] = {"data\\part0.bin", "data\\evil\x1b]0;owned\x07.bin"};
  for (int file = 0; file < 2; ++file) {
    p.file = names[file];
    p.fileTotal = 1000000;
    for (int step = 1; step <= 4; ++step) {
      now += 0.25;
      p.fileDone = 250000u * static_cast<unsigned>(step);
      p.downloadedBytes = 1000000u * static_cast<unsigned>(file) + p.fileDone;
      window.OnProgress(p);
    }
  }
  EXPECT_TRUE(Has(feed.views, u"Downloading (0 of 2 files in place)", u"data/part0.bin",
                  u"25%  500.0 kB of 2.0 MB  1.0 MB/s  2 s left", 250))
      << "the first file's second quarter";
  for (const auto& v : feed.views)
    EXPECT_EQ(v.file.find(u'\x1b'), std::u16string::npos) << "control characters shown harmless";
  p.phase = InstallPhase::Installing;
  for (int file = 0; file < 2; ++file) {
    p.file = names[file];
    p.fileTotal = p.fileDone = 2000000;
    p.installedBytes += 2000000;
    p.filesDone = static_cast<uint32_t>(file + 1);
    now += 0.5;
    window.OnProgress(p);
  }
  EXPECT_EQ(feed.views.back().step, u"Installing (2 of 2 files in place)");
  EXPECT_EQ(feed.views.back().permille, 1000);
  EXPECT_EQ(feed.views.back().figures.rfind(u"100%  4.0 MB of 4.0 MB", 0), 0u);
}

// Many notices within a moment are one redraw; a new file is always shown.
TEST(WindowProgressTest, FastNoticesAreThinnedButNoFileIsSkipped) {
  double now = 0;
  RecordingFeed feed;
  VendraBuild::WindowProgress window(feed, [&] { return now; });
  InstallProgress p;
  p.phase = InstallPhase::Downloading;
  p.downloadTotal = 1000;
  p.file = "a";
  p.fileTotal = 1000;
  for (int i = 1; i < 100; ++i) {
    now += 0.001;
    p.fileDone = p.downloadedBytes = static_cast<uint64_t>(i);
    window.OnProgress(p);
  }
  EXPECT_EQ(feed.views.size(), 1u);
  p.file = "b";
  window.OnProgress(p);
  ASSERT_EQ(feed.views.size(), 2u);
  EXPECT_EQ(feed.views.back().file, u"b");
}

// The window's Cancel reaches the engine through the log's listener too.
TEST(WindowProgressTest, CancelIsAStopRequestThroughTheLog) {
  RecordingFeed feed;
  VendraBuild::WindowProgress window(feed);
  VendraBuild::ActivityLog log;
  VendraBuild::LoggingListener logged(window, log);
  EXPECT_FALSE(logged.StopRequested());
  feed.cancel = true;
  EXPECT_TRUE(logged.StopRequested());
}

}  // namespace
}  // namespace VendraTest
