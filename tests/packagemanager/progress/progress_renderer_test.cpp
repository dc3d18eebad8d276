#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "json/object.h"
#include "json/parser.h"
#include "packagemanager/progress/progress_renderer.h"
#include "platform/console.h"

namespace VendraTest {
namespace {

using VendraBuild::InstallPhase;
using VendraBuild::InstallProgress;

// A download throttled to 1 MB a second: four files of 1 MB, then their
// installation, on a clock the test moves. The renderer is made in the
// child whose standard output is fd, with the style the program would pick.
// A stopped run ends after the second download with a cancel.
void RenderThrottledRun(bool json, bool stopped) {
  double now = 0;
  VendraBuild::ProgressRenderer renderer(
      VendraBuild::ChooseProgressStyle(json, false, VendraPlatform::StandardOutputIsTerminal()),
      stdout, 200, [&] { return now; });
  renderer.Step("Installing tdy live 1.0 into /opt/tdy");
  InstallProgress p;
  p.phase = InstallPhase::Downloading;
  p.downloadTotal = 4000000;
  p.installTotal = 8000000;
  p.filesTotal = 4;
  for (int file = 0; file < 4; ++file) {
    p.file = "data\\part" + std::to_string(file) + ".bin";
    p.fileTotal = 1000000;
    for (int step = 1; step <= 4; ++step) {
      now += 0.25;
      p.fileDone = 250000u * static_cast<unsigned>(step);
      p.downloadedBytes = 1000000u * static_cast<unsigned>(file) + p.fileDone;
      renderer.OnProgress(p);
    }
    renderer.OnNote("downloaded data/part" + std::to_string(file) + ".bin");
    if (stopped && file == 1) {
      renderer.WatchForStop([] { return true; });
      renderer.StopRequested();
      renderer.Finish(false, {-5, "Install cancelled", "stopped at the user's request"});
      return;
    }
  }
  p.phase = InstallPhase::Installing;
  for (int file = 0; file < 4; ++file) {
    p.file = "data\\part" + std::to_string(file) + ".bin";
    p.fileTotal = p.fileDone = 2000000;
    p.installedBytes += 2000000;
    p.filesDone = static_cast<uint32_t>(file + 1);
    now += 0.1;
    renderer.OnProgress(p);
  }
  renderer.OnNote("continued data\\part2.bin from byte 500000");
  renderer.Finish(true);
}

// What a terminal shows of its output: each line as the last redraw left it.
std::vector<std::string> VisibleLines(const std::string& out) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    std::string line = out.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();  // the terminal's own line end
    line = line.substr(line.find_last_of('\r') == std::string::npos ? 0 : line.find_last_of('\r') + 1);
    if (line.rfind("\x1b[K", 0) == 0) line.erase(0, 3);
    lines.push_back(line);
  }
  return lines;
}

// Runs RenderThrottledRun in a child writing to a pseudo-terminal or a
// pipe, and hands back everything it wrote.
std::string Capture(bool terminal, bool json, bool stopped = false) {
  int reader = -1;
  int writer = -1;
  if (terminal) {
    if (::openpty(&reader, &writer, nullptr, nullptr, nullptr) != 0) return "openpty failed";
  } else {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    reader = fds[0];
    writer = fds[1];
  }
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(writer, STDOUT_FILENO);
    RenderThrottledRun(json, stopped);
    std::fflush(stdout);
    ::_exit(0);
  }
  ::close(writer);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(reader);
  int status = 0;
  ::waitpid(child, &status, 0);
  return out;
}

TEST(ProgressRendererTest, TerminalShowsOneUpdatingLinePerPhaseWithRateAndTimeLeft) {
  const std::string out = Capture(true, false);
  // The line is redrawn in place: carriage returns, one line end per phase.
  EXPECT_NE(out.find('\r'), std::string::npos) << out;
  EXPECT_NE(out.find("Downloading  50%  2.0 MB of 4.0 MB  1.0 MB/s  2 s left  0/4 placed  "
                     "data/part1.bin"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Installing 100%"), std::string::npos) << out;
  EXPECT_EQ(out.find("data\\part1"), std::string::npos) << "the system's own separator: " << out;
  EXPECT_NE(out.find("continued data\\part2.bin"), std::string::npos) << "notes as given";
  EXPECT_NE(out.find("Done: 4 file(s), 4.0 MB downloaded, 8.0 MB installed in 4 s"),
            std::string::npos)
      << out;
  // Notes print above the progress line, which stays one line: what is left
  // on the screen is the step, the notes, the last state of the line and the
  // summary.
  const std::vector<std::string> shown = VisibleLines(out);
  ASSERT_EQ(shown.size(), 8u) << out;
  EXPECT_EQ(shown[0], "Installing tdy live 1.0 into /opt/tdy");
  for (int file = 0; file < 4; ++file)
    EXPECT_EQ(shown[1 + file], "downloaded data/part" + std::to_string(file) + ".bin");
  EXPECT_EQ(shown[5], "continued data\\part2.bin from byte 500000");
  EXPECT_EQ(shown[6].rfind("Installing 100%", 0), 0u) << shown[6];
  EXPECT_EQ(shown[7].rfind("Done: ", 0), 0u) << shown[7];

  // A stop leaves the line where it stood and the summary starts a line.
  const std::vector<std::string> stopped = VisibleLines(Capture(true, false, true));
  ASSERT_EQ(stopped.size(), 6u);
  EXPECT_EQ(stopped[3].rfind("Stopping after the file at hand", 0), 0u) << stopped[3];
  EXPECT_EQ(stopped[4].rfind("Downloading  50%", 0), 0u) << stopped[4];
  EXPECT_EQ(stopped[5].rfind("Stopped: ", 0), 0u) << stopped[5];
}

TEST(ProgressRendererTest, PipeGetsPlainLinesAndJsonOneObjectPerLine) {
  const std::string lines = Capture(false, false);
  EXPECT_EQ(lines.find('\r'), std::string::npos) << lines;
  EXPECT_EQ(lines.find('\x1b'), std::string::npos) << lines;
  EXPECT_NE(lines.find("downloaded data/part3.bin\n  installed data/part0.bin (2.0 MB)\n"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("  installed data/part3.bin (2.0 MB)\ncontinued data\\part2.bin"),
            std::string::npos)
      << lines;

  const std::string json = Capture(false, true);
  EXPECT_EQ(json.find('\r'), std::string::npos);
  size_t objects = 0;
  std::string lastEvent;
  for (size_t start = 0, end; (end = json.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = json.substr(start, end - start);
    Vendra::RefPtr<VendraJSON::VSJObject> object;
    std::u16string error;
    ASSERT_TRUE(VendraJSON::ParseObjectA(line.data(), line.size(), object.Receive(), error))
        << line;
    ASSERT_TRUE(object->GetStringA(u"event", lastEvent)) << line;
    ++objects;
  }
  EXPECT_GE(objects, 10u) << json;
  EXPECT_EQ(lastEvent, "summary");
  EXPECT_NE(json.find(R"("file":"data/part1.bin")"), std::string::npos)
      << "the system's own separator, as everywhere: " << json;
  // A failed run's summary carries its reason.
  const std::string stopped = Capture(false, true, true);
  EXPECT_NE(stopped.find(R"("code":-5)"), std::string::npos) << stopped;
  EXPECT_NE(stopped.find(R"("error":"Install cancelled: stopped at the user's request")"),
            std::string::npos)
      << stopped;
}

}  // namespace
}  // namespace VendraTest
