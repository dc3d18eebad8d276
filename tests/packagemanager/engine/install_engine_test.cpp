// The install engine through the real program, on Linux and under Wine:
// killed, cut, wrong and stopped installs against the service on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

#include <nlohmann/json.hpp>

#include "client/v_client.h"
#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "install/v_build_client.h"
#include "packagemanager/engine/install_engine.h"
#include "packagemanager/cli/status_command.h"
#include "platform/command_line.h"
#include "tests/packagemanager/engine/install_engine_fixture.h"
#include "tests/support/file_time.h"
#include "tests/support/published_build.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/shell.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A folder link planted in the install folder; false where none can be made.
bool PlantFolderLink(const std::string& target, const std::string& link) {
  std::error_code error;
  fs::create_directory_symlink(target, link, error);
  return !error && fs::is_symlink(link);
}
// Wine makes no links (its CreateSymbolicLinkW answers success and makes
// nothing, and it shows a Unix link as a plain folder), and mingw's library
// makes none either.
constexpr char kNoLinks[] = "no folder link can be made on this system";

// kill -9 at many moments of a fresh install and of an update, each from
// the same start: after each kill every file is whole (the earlier
// version's or the new one's, never a partial file under a final name), and
// a plain rerun ends with the whole new version and a record that names it.
TEST_F(InstallEngineTest, KilledAtAnyMomentTheNextRunFinishes) {
  const Files one = VersionOne();
  const Files two = VersionTwo();
  const Files edited = EditedTwo();
  Publish("1.0", one);
  Publish("2.0", two);
  // Edits inside the large files: an insertion, an overwrite, a deletion.
  PublishChunked("2.1", edited);
  const Files shared = SharedInsertTwo();
  PublishChunked("2.2", shared);
  const nlohmann::json build = nlohmann::json::parse(
      ReadTextFile(serviceRoot_.path() + "/catalogue/tdy/live/2.2/build.json"));
  std::map<std::string, int> uses;
  for (const auto& file : build["data"]["files"])
    for (const auto& chunk : file.value("chunks", nlohmann::json::array())) ++uses[chunk["sha256"]];
  ASSERT_TRUE(std::any_of(uses.begin(), uses.end(), [](const auto& use) { return use.second > 1; }))
      << "the large files of 2.2 share chunks";
  const Files none;
  struct Case {
    const char* kind;
    std::string from;  // the version installed first; none for a fresh install
    const Files& earlier;
    std::string to;
    const Files& later;
    bool chunked;
  };
  // The last update starts from a chunked build, whose kept copy a killed
  // update's rerun may take the installed files' chunks from.
  for (const Case& kind :
       {Case{"fresh install", "", none, "1.0", one, false},
        Case{"update", "1.0", one, "2.0", two, false},
        Case{"update of edited chunks", "1.0", one, "2.1", edited, true},
        Case{"update with chunks two files share", "1.0", one, "2.2", shared, true},
        Case{"update of a chunked build", "2.1", edited, "2.2", shared, true}}) {
    SCOPED_TRACE(kind.kind);
    const bool update = !kind.from.empty();
    const Files& earlier = kind.earlier;
    const Files& later = kind.later;
    const std::string& to = kind.to;
    for (const int ms : {30, 80, 150, 250, 350, 450, 600, 800}) {
      SCOPED_TRACE("killed after " + std::to_string(ms) + " ms");
      fs::remove_all(cache_ + "/tdy/live/" + to);
      if (update) {
        ASSERT_EQ(Run(kind.from), 0) << Log();
      } else {
        fs::remove_all(folder_);
      }
      const size_t requestsBefore = service_->RequestLog().size();
      SlowDownloads(static_cast<int>(later.size()));
      const auto run = Start(to);
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      run->Kill();
      run->Wait();
      EXPECT_EQ(Mixed(earlier, later), "");
      const nlohmann::json record = Record();
      if (record.value("state", "") == "complete") {
        EXPECT_TRUE(Holds(record.value("version", "") == to ? later : earlier,
                          RecordCopies::Allowed))
            << record.dump() << " / " << Listing();
      }

      ASSERT_TRUE(service_->ClearScript());
      // The killed run's last requests may reach the log only now.
      ASSERT_TRUE(service_->WaitUntilQuiet());
      // As an earlier program would have left them, and a file of the
      // user's that only looks like one.
      WriteServiceFile(folder_, "data/big.bin.vbnew", "left by an earlier version");
      WriteServiceFile(folder_, "data/notes.txt.new-zz9zz9", "the user's");
      const size_t rerunBefore = service_->RequestLog().size();
      const size_t rerunLogBefore = Log().size();
      ASSERT_EQ(Run(to), 0) << Log();
      EXPECT_TRUE(Holds(later));
      EXPECT_EQ(Unplaced(), "data/notes.txt.new-zz9zz9 ") << "leftovers removed";
      fs::remove(folder_ + "/data/notes.txt.new-zz9zz9");
      const nlohmann::json finished = Record();
      EXPECT_EQ(finished.value("version", ""), to);
      EXPECT_EQ(finished.value("state", ""), "complete");
      EXPECT_EQ(finished["files"].size(), later.size());
      EXPECT_EQ(fs::exists(folder_ + "/data/t4.txt"), later.count("data\\t4.txt") == 1)
          << "the old version's own file";
      // The downloads went once the record was complete; the build copy stays.
      EXPECT_EQ(CacheFiles("tdy/live/" + to).size(), 1u);
      EXPECT_EQ(CacheFiles("tdy/live/" + to).count("build.json"), 1u);
      if (!kind.chunked) continue;
      // The edited files were put together from their old chunks and the
      // few fetched ones: neither was fetched whole, and the pack pieces the
      // rerun asked for are less than one of them (the killed run's pieces
      // count whole here though they were cut). The rerun asks for no byte
      // of a pack twice, so a chunk two files share comes once.
      const std::vector<nlohmann::json> requests = service_->RequestLog();
      for (size_t i = requestsBefore; i < requests.size(); ++i)
        for (const char* whole : {"data\\big.bin", "data\\more.bin"})
          EXPECT_NE(requests[i]["fields"].value("filename", ""), whole);
      uint64_t packBytes = 0, rerunBytes = 0;
      std::vector<PackPiece> rerun;
      for (const PackPiece& piece : PackPieces(requestsBefore)) {
        packBytes += piece.last + 1 - piece.first;
        if (piece.line < rerunBefore) continue;
        rerunBytes += piece.last + 1 - piece.first;
        rerun.push_back(piece);
      }
      const size_t wholeFile = Deflate(later.at("data\\more.bin")).size();
      EXPECT_GT(packBytes, 0u);
      EXPECT_LT(packBytes, 2 * wholeFile);
      EXPECT_LT(rerunBytes, wholeFile);
      std::sort(rerun.begin(), rerun.end(), [](const PackPiece& a, const PackPiece& b) {
        return std::tie(a.pack, a.first) < std::tie(b.pack, b.first);
      });
      // A transfer the transport tried again asks again for what it lacks:
      // each such note in the rerun's output stands for one piece asked twice.
      const std::string rerunLog = Log().substr(rerunLogBefore);
      size_t retries = 0;
      for (const char* note : {"trying again", "starting the file over"})
        for (size_t at = 0; (at = rerunLog.find(note, at)) != std::string::npos; ++at) ++retries;
      size_t askedTwice = 0;
      for (size_t i = 1; i < rerun.size(); ++i)
        askedTwice += rerun[i].pack == rerun[i - 1].pack && rerun[i].first <= rerun[i - 1].last;
      EXPECT_LE(askedTwice, retries) << "pack pieces asked twice\n" << rerunLog;
    }
  }
  // Uninterrupted, an update from a complete chunked build takes where the
  // installed files' chunks lie from that build's kept copy.
  ASSERT_EQ(Run("2.1"), 0) << Log();
  ASSERT_EQ(Run("2.2"), 0) << Log();
  EXPECT_TRUE(Holds(shared));
  // A kept copy that puts two of a file's chunks (not its last, which may be
  // short) in the wrong places fails that file. The rerun trusts nothing an
  // unfinished install said of the files, so it cuts them again.
  const std::string copyPath = cache_ + "/tdy/live/2.2/build.json";
  nlohmann::json copy = nlohmann::json::parse(ReadTextFile(copyPath));
  for (auto& file : copy["data"]["files"]) {
    if (file["filename"] != "data\\big.bin") continue;
    auto& chunks = file["chunks"];
    std::swap(chunks[chunks.size() - 2], chunks[chunks.size() - 3]);
  }
  WriteServiceFile(cache_, "tdy/live/2.2/build.json", copy.dump());
  EXPECT_NE(Run("2.1"), 0);
  EXPECT_NE(Log().find("Wrong content for data\\big.bin"), std::string::npos) << Log();
  EXPECT_EQ(Mixed(shared, edited), "");
  ASSERT_EQ(Run("2.1"), 0) << Log();
  EXPECT_TRUE(Holds(edited));
  EXPECT_TRUE(fs::is_empty(temp_.path())) << "nothing in the temporary folder";
}

// The service cuts each large download partway: the run continues each
// from where it stopped (no byte is asked for twice) and installs.
TEST_F(InstallEngineTest, CutConnectionsAreContinuedWithoutFetchingBytesTwice) {
  const Files one = VersionOne();
  Publish("1.0", one);
  ASSERT_TRUE(service_->Script(
      "vclient/download", R"([{"filename":"data\\big.bin","close_after":700000},
                             {"filename":"data\\big.bin","close_after":500000}])"));
  ASSERT_EQ(Run("1.0"), 0) << Log();
  EXPECT_TRUE(Holds(one));
  std::vector<std::string> ranges;
  size_t requests = 0;
  for (const auto& line : service_->RequestLog()) {
    if (line.value("path", "") != "vclient/download") continue;
    ++requests;
    if (line["fields"].value("filename", "") == "data\\big.bin")
      ranges.push_back(line.value("range", ""));
  }
  EXPECT_EQ(ranges, (std::vector<std::string>{"", "bytes=700000-", "bytes=1200000-"}));
  EXPECT_EQ(requests, one.size() + 2) << "one request per file besides the two continued";
  EXPECT_NE(Log().find("trying again"), std::string::npos) << Log();

  // A run of chunks cut partway is continued within its range.
  const Files edited = EditedTwo();
  PublishChunked("2.1", edited);
  const nlohmann::json build = nlohmann::json::parse(
      ReadTextFile(serviceRoot_.path() + "/catalogue/tdy/live/2.1/build.json"));
  const std::string pack = build["data"]["files"][0]["chunks"][0]["pack"];
  ASSERT_TRUE(service_->Script("vclient/download", R"([{"filename":")" + pack +
                                                       R"(","close_after":5000}])"));
  const size_t before = service_->RequestLog().size();
  ASSERT_EQ(Run("2.1"), 0) << Log();
  EXPECT_TRUE(Holds(edited));
  const std::vector<PackPiece> pieces = PackPieces(before);
  ASSERT_GE(pieces.size(), 2u);
  // The cut run's next request starts 5000 bytes on and ends where the cut
  // one was to end; no piece is asked for twice.
  const auto cut = std::find_if(pieces.begin(), pieces.end(),
                                [](const PackPiece& piece) { return piece.scripted; });
  ASSERT_NE(cut, pieces.end());
  EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(), [&](const PackPiece& piece) {
    return piece.first == cut->first + 5000 && piece.last == cut->last;
  }));
  std::set<uint64_t> starts;
  for (const auto& piece : pieces) EXPECT_TRUE(starts.insert(piece.first).second);
}

// A reply of the wrong bytes (another length, or the right length and other
// content) never reaches the product folder, and says what was wrong.
TEST_F(InstallEngineTest, AWrongDownloadNeverReachesTheProductFolder) {
  const Files one = VersionOne();
  Publish("1.0", one);
  const size_t packedSize = Deflate(one.at("Tandory.exe")).size();
  const nlohmann::json wrong = nlohmann::json::array(
      {{{"filename", "Tandory.exe"}, {"status", 200}, {"body", "not the file"},
        {"content_type", "application/octet-stream"}}});
  const nlohmann::json sameLength = nlohmann::json::array(
      {{{"filename", "Tandory.exe"}, {"status", 200}, {"body", std::string(packedSize, 'x')},
        {"content_type", "application/octet-stream"}}});
  for (const auto& script : {wrong, sameLength}) {
    ASSERT_TRUE(service_->Script("vclient/download", script.dump()));
    EXPECT_EQ(Run("1.0"), 1);
    EXPECT_FALSE(fs::exists(folder_ + "/Tandory.exe"));
    EXPECT_NE(Log().find("Wrong download of "), std::string::npos) << Log();
    EXPECT_NE(Log().find("Tandory.exe.z: expected "), std::string::npos) << Log();
  }
  EXPECT_NE(Log().find("expected " + std::to_string(packedSize) + " bytes"), std::string::npos);
  ASSERT_EQ(Run("1.0"), 0) << Log();
  EXPECT_TRUE(Holds(one));
  EXPECT_TRUE(fs::is_empty(temp_.path()));

  // A pack whose chunks are not the bytes their digests name: the edited
  // files are refused and stay as they were; with the pack sound again the
  // rerun finishes.
  const Files edited = EditedTwo();
  PublishChunked("2.1", edited);
  std::map<std::string, std::string> packs;
  for (const auto& pack : fs::directory_iterator(serviceRoot_.path() + "/chunks/tdy")) {
    if (pack.path().extension() != ".pack") continue;
    const std::string name = "chunks/tdy/" + pack.path().filename().string();
    packs[name] = ReadTextFile(pack.path().string());
    std::string flipped = packs[name];
    for (char& c : flipped) c = static_cast<char>(c ^ 0x5a);
    WriteServiceFile(serviceRoot_.path(), name, flipped);
  }
  ASSERT_FALSE(packs.empty());
  EXPECT_EQ(Run("2.1"), 1);
  EXPECT_NE(Log().find("does not expand to its"), std::string::npos) << Log();
  for (const char* name : {"data/big.bin", "data/more.bin"})
    EXPECT_EQ(ReadTextFile(folder_ + "/" + name), one.at(std::string("data\\") + (name + 5)));
  EXPECT_EQ(Unplaced(), "");
  for (const auto& [name, bytes] : packs) WriteServiceFile(serviceRoot_.path(), name, bytes);
  ASSERT_EQ(Run("2.1"), 0) << Log();
  EXPECT_TRUE(Holds(edited));
}

// A link already in the install folder (left by whoever could write there)
// never carries a file out of it: the folder it points to stays as it was,
// and the run says which file it refused.
TEST_F(InstallEngineTest, ALinkedFolderInTheInstallFolderIsNeverWrittenThrough) {
  const Files one = VersionOne();
  Publish("1.0", one);
  const std::string elsewhere = folders_.Sub("elsewhere");
  fs::create_directories(elsewhere);
  fs::create_directories(folder_);
  if (!PlantFolderLink(elsewhere, folder_ + "/data")) GTEST_SKIP() << kNoLinks;
  EXPECT_EQ(Run("1.0"), 1);
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_NE(Log().find("its folder leads outside"), std::string::npos) << Log();
}

// Removing goes no further than writing: once 1.0 is in, its data folder is
// moved elsewhere and a link put in its place, with leftovers of a killed
// run beside the files. Neither the update's removal of what only 1.0 had,
// nor its sweep of leftovers, nor an uninstall reaches through the link.
TEST_F(InstallEngineTest, ALinkedFolderIsNeverRemovedThrough) {
  Publish("1.0", VersionOne());
  ASSERT_EQ(Run("1.0"), 0) << Log();
  const std::string elsewhere = folders_.Sub("elsewhere");
  fs::rename(folder_ + "/data", elsewhere);
  if (!PlantFolderLink(elsewhere, folder_ + "/data")) GTEST_SKIP() << kNoLinks;
  WriteTextFile(elsewhere + "/big.bin.vbnew", "precious");
  WriteTextFile(elsewhere + "/t0.txt.new-abc123", "precious");
  const auto contents = [&] {
    std::map<std::string, std::string> found;
    for (const auto& item : fs::directory_iterator(elsewhere))
      found[item.path().filename().string()] = Sha256Hex(ReadTextFile(item.path().string()));
    return found;
  };
  const auto before = contents();
  Files fewer = VersionOne();
  fewer.erase("data\\t4.txt");
  Publish("1.1", fewer);
  Run("1.1");
  EXPECT_EQ(contents(), before) << Log();
  const std::string uninstall = Command({"uninstall", "tandory", folder_});
  EXPECT_NE(uninstall.find("its folder leads outside"), std::string::npos) << uninstall;
  EXPECT_EQ(contents(), before);
}

// A file that cannot be placed (a file stands where its folder should be)
// ends the run at once: the downloads in flight stop (the slow one would
// take 16 s) and keep what they fetched (its first block, sent before the
// failure), which the next run continues.
TEST_F(InstallEngineTest, AFailedPlacementStopsTheDownloadsInFlight) {
  const Files files = {{"Tandory.exe", "#!/bin/sh\necho one\n"},
                       {"data\\slow.bin", Noise(1 << 20, 4)},
                       {"link\\x.txt", "placed through a link"}};
  Publish("1.0", files);
  fs::create_directories(folder_);
  WriteTextFile(folder_ + "/link", "in the way");
  ASSERT_TRUE(service_->Script(
      "vclient/download",
      R"([{"filename":"data\\slow.bin","chunk_size":65536,"chunk_delay_ms":1000},
          {"filename":"link\\x.txt","delay_ms":500}])"));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Run("1.0"), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s) << "heard before the slow download ends";
  const std::string log = Log();
  EXPECT_NE(log.find("Failed to write file "), std::string::npos) << log;
  EXPECT_NE(log.find("x.txt (err="), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(folder_ + "/data/slow.bin"));

  fs::remove(folder_ + "/link");
  ASSERT_EQ(Run("1.0"), 0) << Log();
  EXPECT_TRUE(Holds(files));
  std::vector<std::string> ranges;
  for (const auto& line : service_->RequestLog())
    if (line["fields"].value("filename", "") == "data\\slow.bin")
      ranges.push_back(line.value("range", ""));
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[1].rfind("bytes=", 0), 0u) << "continued from the bytes kept";
}

// A plain install trusts a file whose size and modification time are still
// those the record saw; one changed behind its back (same size, another
// time) is read and replaced, the change kept aside. A repair reads every
// file, so even a change that kept the old time is found and kept aside.
TEST_F(InstallEngineTest, OnlyFilesWithUnchangedStampsAreTrusted) {
  const Files one = VersionOne();
  const Files two = VersionTwo();
  Publish("1.0", one);
  Publish("2.0", two);
  ASSERT_EQ(Run("1.0"), 0) << Log();
  EXPECT_EQ(Record()["seen"].size(), one.size()) << Record().dump();
  // The files came over the few connections of the downloads in flight,
  // each kept from one file to the next.
  std::set<int> connections;
  size_t downloads = 0;
  for (const auto& line : service_->RequestLog()) {
    if (line.value("path", "") != "vclient/download") continue;
    ++downloads;
    connections.insert(line.value("remote_port", 0));
  }
  EXPECT_EQ(downloads, one.size());
  EXPECT_LE(connections.size(), 3u);
  const std::string t3 = folder_ + "/data/t3.txt";
  const std::string more = folder_ + "/data/more.bin";
  const auto placedAt = ModificationTime(more);
  WriteServiceFile(folder_, "data/t3.txt", std::string(one.at("data\\t3.txt").size(), 'z'));
  ASSERT_TRUE(SetModificationTime(t3, placedAt + 1s));
  std::string spoiled = one.at("data\\more.bin");
  spoiled[7] ^= 1;
  WriteServiceFile(folder_, "data/more.bin", spoiled);
  ASSERT_TRUE(SetModificationTime(more, placedAt));
  // The file system's clock is coarse: the record and the last file it saw
  // may carry the same time, which the rule treats as too close to trust.
  // Here the record is given a later time, as a slower run would have.
  ASSERT_TRUE(SetModificationTime(folder_ + "/VendraBuild.install.json", placedAt + 2s));

  ASSERT_EQ(Run("2.0"), 0) << Log();
  EXPECT_EQ(ReadTextFile(t3), two.at("data\\t3.txt")) << "a new time is caught";
  EXPECT_EQ(ReadTextFile(t3 + ".user-1"), std::string(one.at("data\\t3.txt").size(), 'z'));
  EXPECT_EQ(ReadTextFile(more), spoiled) << "the stamp the record saw is trusted";
  Command({"modify", "Tandory", folder_});
  EXPECT_EQ(lastExit_, 0);
  EXPECT_EQ(ReadTextFile(more + ".user-1"), spoiled) << "a repair reads every file";
  fs::remove(t3 + ".user-1");
  fs::remove(more + ".user-1");
  EXPECT_TRUE(Holds(two));
}

// What each run may touch in an install folder it shares with others: only
// what an install put there and nobody changed since. Each row starts from
// an empty folder; the rows on modes and links need a POSIX file system.
TEST_F(InstallEngineTest, AnInstallHarmsNothingItDoesNotOwn) {
  const Files one = VersionOne();
  const Files two = VersionTwo();
  Publish("1.0", one);
  Publish("2.0", two);
  const auto mode = [](const std::string& path) {
    return fs::symlink_status(path).permissions() & fs::perms::mask;
  };
  const auto file = [&](const std::string& name) { return folder_ + "/" + name; };
  // Root's own file, out of everyone else's reach.
  const std::string secret = folders_.Sub("secret");
  const auto plantSecret = [&](const std::string& content) {
    WriteTextFile(secret, content);
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  };
  // The install folder another user may write to, as in the attacks below.
  const auto openToOthers = [&] {
    fs::create_directories(folder_);
    fs::permissions(folder_, fs::perms::all);
  };
  struct Row {
    const char* situation;
    bool posixOnly;
    std::function<void()> run;
  };
  const Row rows[] = {
      {"the folder holds another product's install", false,
       [&] {
         WriteServiceFile(folder_, "VendraBuild.install.json",
                          R"({"product":"other","branch":"main","version":"5.0",)"
                          R"("executable":"other.exe","files":["other.exe","data\\big.bin"],)"
                          R"("state":"complete"})");
         WriteServiceFile(folder_, "other.exe", "the other program");
         WriteServiceFile(folder_, "settings.cfg", "the other settings");
         WriteServiceFile(folder_, "data/big.bin", Noise(3 << 20, 7));
         const std::string said = Command({"install", "tdy", "live", "1.0", folder_, "Tandory.exe"});
         EXPECT_EQ(lastExit_, 1);
         EXPECT_NE(said.find("another product, other main 5.0; nothing was changed"),
                   std::string::npos) << said;
         EXPECT_NE(said.find("uninstall other from this folder first"), std::string::npos);
         EXPECT_EQ(ReadTextFile(file("data/big.bin")), Noise(3 << 20, 7));
         EXPECT_EQ(ReadTextFile(file("settings.cfg")), "the other settings");
         EXPECT_EQ(Record().value("product", ""), "other");
         EXPECT_FALSE(fs::exists(file("Tandory.exe")));
       }},
      {"a user's files stand under build names, one name aside taken", false,
       [&] {
         WriteServiceFile(folder_, "data/t0.txt", "the user's own");
         WriteServiceFile(folder_, "data/t0.txt.user-1", "the user's older one");
         ASSERT_EQ(Run("1.0"), 0) << Log();
         EXPECT_NE(Log().find("kept " + ShownPath("data/t0.txt") +
                              ": not placed by an install; moved to " +
                              ShownPath("data/t0.txt.user-2")),
                   std::string::npos) << Log();
         EXPECT_EQ(ReadTextFile(file("data/t0.txt")), one.at("data\\t0.txt"));
         EXPECT_EQ(ReadTextFile(file("data/t0.txt.user-2")), "the user's own");
         EXPECT_EQ(ReadTextFile(file("data/t0.txt.user-1")), "the user's older one");
         Command({"uninstall", "tandory", folder_});
         EXPECT_EQ(lastExit_, 0);
         EXPECT_FALSE(fs::exists(file("data/t0.txt")));
         EXPECT_EQ(ReadTextFile(file("data/t0.txt.user-2")), "the user's own");
       }},
      {"the user changed installed files", false,
       [&] {
         ASSERT_EQ(Run("1.0"), 0) << Log();
         // One the update replaces, one it drops, one changed after it.
         WriteServiceFile(folder_, "data/t0.txt", "edited t0");
         WriteServiceFile(folder_, "data/t4.txt", "edited t4");
         ASSERT_EQ(Run("2.0"), 0) << Log();
         EXPECT_EQ(ReadTextFile(file("data/t0.txt")), two.at("data\\t0.txt"));
         EXPECT_EQ(ReadTextFile(file("data/t0.txt.user-1")), "edited t0");
         EXPECT_EQ(ReadTextFile(file("data/t4.txt")), "edited t4");
         EXPECT_NE(Log().find("kept " + ShownPath("data/t4.txt") +
                              ": changed since it was installed"),
                   std::string::npos) << Log();
         WriteServiceFile(folder_, "data/t1.txt", "edited t1");
         // Given relative to the working folder, it is named in full in the
         // lines and in the log, which also holds each file removed or kept.
         const fs::path working = fs::current_path();
         fs::current_path(fs::path(folder_).parent_path());
         const std::string said =
             Command({"uninstall", "tandory", fs::path(folder_).filename().string()});
         fs::current_path(working);
         EXPECT_EQ(lastExit_, 0);
         EXPECT_NE(said.find("Uninstalled tandory from " + ShownPath(folder_)), std::string::npos)
             << said;
         const std::string logged =
             ReadTextFile(machine_.path() + "/ProgramData/Vendra Software/logs/VendraBuild.log");
         for (const std::string& line :
              {"Uninstalling tandory from " + ShownPath(folder_),
               "removed " + ShownPath("data/big.bin"), "kept " + ShownPath("data/t1.txt")})
           EXPECT_NE(logged.find(line), std::string::npos) << line << "\n" << logged;
         EXPECT_NE(said.find("kept " + ShownPath("data/t1.txt") +
                             ": changed since it was installed"),
                   std::string::npos) << said;
         EXPECT_EQ(ReadTextFile(file("data/t1.txt")), "edited t1");
         EXPECT_FALSE(fs::exists(file("data/big.bin")));
         EXPECT_FALSE(fs::exists(file("Tandory.exe")));
       }},
      {"an update killed midway, then uninstalled", false,
       [&] {
         ASSERT_EQ(Run("1.0"), 0) << Log();
         WriteServiceFile(folder_, "data/new.txt", "the user's");
         SlowDownloads(static_cast<int>(two.size()));
         const auto run = Start("2.0");
         for (int i = 0; i < 4000 && !fs::exists(file("data/new.txt.user-1")) &&
                         ReadTextFile(file("data/big.bin")) != two.at("data\\big.bin");
              ++i)
           std::this_thread::sleep_for(5ms);
         run->Kill();
         run->Wait();
         ASSERT_TRUE(service_->ClearScript());
         ASSERT_EQ(Record().value("state", ""), "incomplete");
         Command({"uninstall", "tandory", folder_});
         EXPECT_EQ(lastExit_, 0);
         std::string left;
         for (const auto& item : fs::recursive_directory_iterator(folder_))
           if (item.is_regular_file())
             left += fs::relative(item.path(), folder_).generic_string() + "=" +
                     ReadTextFile(item.path().string()) + " ";
         EXPECT_TRUE(left == "data/new.txt=the user's " || left == "data/new.txt.user-1=the user's ")
             << left;
       }},
      {"a link stands at the program's name", true,
       [&] {
         openToOthers();
         plantSecret("root's own");
         ASSERT_EQ(RunUnprivileged([&] {
                     std::error_code error;
                     fs::create_symlink(secret, file("Tandory.exe"), error);
                     return error ? 1 : 0;
                   }),
                   0);
         ASSERT_EQ(Run("1.0"), 0) << Log();
         EXPECT_EQ(mode(secret), fs::perms::owner_read | fs::perms::owner_write);
         EXPECT_TRUE(fs::is_symlink(file("Tandory.exe.user-1"))) << "moved aside, as it is";
         EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file("Tandory.exe"))));
         EXPECT_EQ(mode(file("Tandory.exe")), fs::perms(0755));
         // Root's file holds the program itself: the content is current, and
         // only the mode would change, which is never done through a link.
         plantSecret(one.at("Tandory.exe"));
         fs::remove(file("Tandory.exe"));
         ASSERT_EQ(RunUnprivileged([&] {
                     std::error_code error;
                     fs::create_symlink(secret, file("Tandory.exe"), error);
                     return error ? 1 : 0;
                   }),
                   0);
         EXPECT_EQ(Run("1.0"), 1);
         EXPECT_NE(Log().find("Could not mark " + file("Tandory.exe") + " as a program"),
                   std::string::npos) << Log();
         EXPECT_EQ(mode(secret), fs::perms::owner_read | fs::perms::owner_write);
       }},
      {"the record names root's file as the program", true,
       [&] {
         openToOthers();
         ASSERT_EQ(Run("1.0"), 0) << Log();
         plantSecret("root's own");
         for (const std::string& named : {secret, std::string("../secret")}) {
           nlohmann::json record = Record();
           record["executable"] = named;
           ASSERT_EQ(RunUnprivileged([&] {
                       std::error_code error;
                       fs::remove(file("VendraBuild.install.json"), error);
                       WriteTextFile(file("VendraBuild.install.json"), record.dump());
                       return error ? 1 : 0;
                     }),
                     0);
           const std::string said = Command({"modify", "tandory", folder_});
           EXPECT_EQ(lastExit_, 1);
           EXPECT_NE(said.find("is not a file inside"), std::string::npos) << said;
           EXPECT_EQ(mode(secret), fs::perms::owner_read | fs::perms::owner_write) << named;
         }
       }},
      {"the program is named relative to the folder, not the working folder", true,
       [&] {
         const std::string elsewhere = folders_.Sub("working");
         WriteServiceFile(elsewhere, "Tandory.exe", "unrelated");
         fs::permissions(elsewhere + "/Tandory.exe", fs::perms(0644));
         const fs::path was = fs::current_path();
         fs::current_path(elsewhere);
         for (int round = 0; round < 2; ++round) {
           // The second time the program is current: only its mode is put back.
           if (round == 1) fs::permissions(file("Tandory.exe"), fs::perms(0644));
           Command({"install", "tdy", "live", "1.0", folder_, "Tandory.exe"});
           EXPECT_EQ(lastExit_, 0);
           EXPECT_EQ(mode(file("Tandory.exe")), fs::perms(0755)) << round;
         }
         fs::current_path(was);
         EXPECT_EQ(mode(elsewhere + "/Tandory.exe"), fs::perms(0644));
       }},
      {"the program named is not inside the folder or not in the build", false,
       [&] {
         for (const std::string& named : {std::string("../Tandory.exe"), folders_.Sub("x.exe"),
                                          std::string("data/../../x.exe"), std::string("")}) {
           const std::string said = Command({"install", "tdy", "live", "1.0", folder_, named});
           EXPECT_EQ(lastExit_, 2) << named;
           EXPECT_NE(said.find("is not a file inside"), std::string::npos) << said;
         }
         const std::string said =
             Command({"install", "tdy", "live", "1.0", folder_, "data/notes.txt"});
         EXPECT_EQ(lastExit_, 1);
         EXPECT_NE(said.find("data\\notes.txt, is not a file of tdy live 1.0"),
                   std::string::npos) << said;
         EXPECT_FALSE(fs::exists(folder_));
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.situation);
#ifdef _WIN32
    if (row.posixOnly) continue;
#endif
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    fs::remove(log_, ignored);
    row.run();
  }
}

// A build whose file list is missing, empty or malformed changes nothing,
// says what is wrong, and leaves no copy of itself in the download cache.
TEST_F(InstallEngineTest, ABuildWithoutASoundFileListChangesNothing) {
  const std::string base = "catalogue/tdy/live/";
  std::vector<std::pair<std::string, std::string>> builds = {
      {R"({"software":"tdy","branch":"live","version":"9"})", "has no file list"},
      {R"({"software":"tdy","branch":"live","version":"9","data":{"files":[]}})", "lists no files"},
      {R"({"data":{"files":[{"filename":"../escape","size":1,"sha256":"00"}]}})",
       "would reach outside the install folder"},
      {R"({"data":{"files":[{"filename":"a.txt","size":1}]}})", "malformed file list: entry 1"},
      {R"({"data":{"files":["a.txt"]}})", "entry 1 is not an object"}};
  // A chunked file's list, bounded in the same check.
  const std::string zeros(64, '0');
  const std::string file = R"({"data":{"files":[{"filename":"a.txt","size":40000,"sha256":")" +
                           zeros + R"(","compressed_size":9,"compressed_sha256":")" + zeros +
                           R"(","chunks":)";
  const std::string chunk = R"({"sha256":")" + zeros + R"(","compressed_size":9,"offset":0,)";
  const std::string pack = R"("pack":")" + std::string(32, 'a') + R"(")";
  for (const auto& [chunks, text] : std::vector<std::pair<std::string, std::string>>{
           {"[]", "\"a.txt\" has chunks of 0 bytes in all, not its 40000"},
           {"[" + chunk + R"("size":40000,"pack":"A0"}])", "chunk 1 names no pack"},
           {"[" + chunk + R"("size":600000,)" + pack + "}]", "chunk 1 has a size outside"},
           {"[" + chunk + R"("size":1000,)" + pack + "},{" + chunk.substr(1) +
                R"("size":39000,)" + pack + "}]",
            "chunk 1 has a size outside"},
           {R"([{"sha256":")" + zeros + R"(","compressed_size":90000,"offset":0,"size":40000,)" +
                pack + "}]",
            "chunk 1 has a compressed size no chunk"},
           {"{}", "has a \"chunks\" member that is no list"}})
    builds.emplace_back(file + chunks + "}]}}", text);
  for (const auto& [build, text] : builds) {
    WriteServiceFile(serviceRoot_.path(), base + "9/build.json", build);
    EXPECT_EQ(Run("9"), 1);
    EXPECT_NE(Log().find(text), std::string::npos) << build << "\n" << Log();
    EXPECT_FALSE(fs::exists(folder_)) << build;
    EXPECT_FALSE(fs::exists(machine_.path() +
                            "/ProgramData/Vendra Software/downloads/tdy/live/9/build.json"));
  }
}

// Stops the engine once it has heard of enough placed files, and at once
// when none need be.
class StoppingListener final : public VendraBuild::InstallProgressListener {
 public:
  explicit StoppingListener(uint32_t afterFiles) : afterFiles_(afterFiles) {}
  void OnProgress(const VendraBuild::InstallProgress& p) override { placed_ = p.filesDone; }
  void OnNote(const std::string&) override {}
  bool StopRequested() override { return placed_ >= afterFiles_; }

 private:
  uint32_t afterFiles_;
  uint32_t placed_ = 0;
};

// A stop asked for between files (the progress window's Cancel) ends the
// update with "cancelled": every file whole, the record incomplete for the
// new version when anything changed and untouched when nothing did; a rerun
// finishes the job.
TEST_F(InstallEngineTest, AStopBetweenFilesLeavesEveryFileWholeAndARerunFinishes) {
  const Files one = VersionOne();
  const Files two = VersionTwo();
  Publish("1.0", one);
  Publish("2.0", two);
  for (const uint32_t afterFiles : {0u, 2u}) {
    SCOPED_TRACE("stopped after " + std::to_string(afterFiles) + " file(s)");
    ASSERT_EQ(Run("1.0"), 0) << Log();
    SlowDownloads(static_cast<int>(two.size()));
    VendraClient::VClient client;
    VendraClient::VBuildClient buildClient;
    StoppingListener listener(afterFiles);
    std::u16string error;
    std::string heading;
    ASSERT_EQ(client.EnsureLogin(error), VendraClient::eVClientResult::Success);
    ASSERT_EQ(client.EnsureDeviceAuthorized(error), VendraClient::eVClientResult::Success);
    const auto code = VendraBuild::RunInstall(
        {client, buildClient},
        {"tdy", "live", "2.0", VendraText::Utf8ToUtf16(folder_),
         VendraText::Utf8ToUtf16(folder_ + "/Tandory.exe"), false},
        listener, error, heading);
    ASSERT_TRUE(service_->ClearScript());
    EXPECT_EQ(code, VendraClient::eVClientResult::Cancelled) << VendraText::Utf16ToUtf8(error);
    EXPECT_EQ(heading, "Cancelled");
    EXPECT_NE(VendraText::Utf16ToUtf8(error).find("run the install again"), std::string::npos);
    EXPECT_EQ(Mixed(one, two), "");
    if (afterFiles == 0) {
      EXPECT_TRUE(Holds(one)) << "nothing changed: " << Listing();
      EXPECT_EQ(Record().value("version", ""), "1.0");
      EXPECT_EQ(Record().value("state", ""), "complete");
    } else {
      EXPECT_FALSE(Holds(two)) << "stopped before the end";
      EXPECT_EQ(Record().value("version", ""), "2.0");
      EXPECT_EQ(Record().value("state", ""), "incomplete");
    }
    ASSERT_EQ(Run("2.0"), 0) << Log();
    EXPECT_TRUE(Holds(two));
  }
}

// An update killed once it has begun to change the folder: status says the
// folder holds an incomplete install of the new version, as text and as
// JSON, by its exit code, with the command line that repairs it, which
// works as pasted at the prompt, even for a folder whose name the prompt
// would split and expand; then it is complete.
TEST_F(InstallEngineTest, StatusAfterAKilledUpdateSaysIncompleteUntilItsRepair) {
  folder_ = folders_.Sub("Tandory's $HOME");
  const Files one = VersionOne();
  const Files two = VersionTwo();
  Publish("1.0", one);
  Publish("2.0", two);
  ASSERT_EQ(Run("1.0"), 0) << Log();
  SlowDownloads(static_cast<int>(two.size()));
  const auto run = Start("2.0");
  for (int i = 0; i < 4000 && Record().value("state", "") != "incomplete"; ++i)
    std::this_thread::sleep_for(5ms);
  run->Kill();
  run->Wait();
  ASSERT_TRUE(service_->ClearScript());

  const std::string text = Command({"status", folder_});
  EXPECT_NE(text.find("tdy live 2.0, incomplete"), std::string::npos) << text;
  EXPECT_EQ(lastExit_, VendraBuild::kExitIncomplete);
  const auto json = nlohmann::json::parse(Command({"--json", "status", folder_}), nullptr,
                                          false);
  EXPECT_EQ(json.value("state", ""), "incomplete") << json.dump();
  EXPECT_EQ(json.value("version", ""), "2.0");

  const size_t from = text.find("; run ");
  const size_t to = text.rfind(" to ");
  ASSERT_TRUE(from != std::string::npos && to != std::string::npos && from < to) << text;
  const std::string repair = text.substr(from + 6, to - from - 6);
  EXPECT_NE(repair.find(" modify tdy "), std::string::npos) << repair;
#ifdef _WIN32
  // The words the system's command-line rules give the program.
  std::vector<std::string> words;
  for (const std::u16string& word : VendraPlatform::SplitCommandLine(VendraText::Utf8ToUtf16(repair)))
    words.push_back(VendraText::Utf16ToUtf8(word));
  EXPECT_EQ(RunProgram(words, ProgramStreams(log_)), 0) << repair << "\n" << Log();
#else
  EXPECT_EQ(RunShell(repair + " >> " + ShellQuoted(log_) + " 2>&1"), 0) << repair << "\n" << Log();
#endif
  const auto after = nlohmann::json::parse(Command({"--json", "status", folder_}), nullptr,
                                           false);
  EXPECT_EQ(after.value("state", ""), "complete") << after.dump();
  EXPECT_EQ(after.value("version", ""), "2.0");
  EXPECT_EQ(lastExit_, 0);
  // Beside a folder that holds nothing the answer is that one's.
  Command({"status", folder_, folders_.Sub("nothing here")});
  EXPECT_EQ(lastExit_, VendraBuild::kExitNothingInstalled);
}

// list answers for the machine: each of the vendor's uninstall entries with
// what its folder holds; other publishers' entries and entries an
// uninstall emptied are left out; a folder that lost a file says how to
// repair it, with the entry's own key.
TEST_F(InstallEngineTest, ListTellsWhatTheVendorsEntriesHoldAcrossTheMachine) {
  // The relocated machine's registry is this test's own (on Windows a
  // subtree of the user's hive for each machine root).
  EXPECT_EQ(Command({"list"}), "No product of the vendor is registered on this machine.\n");
  EXPECT_EQ(lastExit_, 0);
  EXPECT_EQ(Command({"--json", "list"}), "");
  Publish("1.0", VersionOne());
  ASSERT_EQ(Run("1.0"), 0) << Log();
  const std::string nothing = folders_.Sub("nothing here");
  Register("Tandory", folder_);
  Register("Elsewhere", nothing);
  Register("Foreign", folder_, u"Someone Else");
  Register("Emptied", "");

  const std::string text = Command({"list"});
  EXPECT_EQ(lastExit_, 0);
  EXPECT_EQ(text, "Elsewhere in " + nothing + ": nothing installed\nTandory in " + folder_ +
                      ": tdy live 1.0, complete\n");
  fs::remove(folder_ + "/data/more.bin");
  const std::string incomplete = Command({"list"});
  EXPECT_NE(incomplete.find("Tandory in " + folder_ +
                            ": tdy live 1.0, incomplete (1 file(s) missing or changed; run "),
            std::string::npos)
      << incomplete;
  EXPECT_NE(incomplete.find(" modify Tandory "), std::string::npos) << incomplete;
  std::vector<nlohmann::json> objects;
  std::istringstream lines(Command({"--json", "list"}));
  for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].value("key", ""), "Elsewhere");
  EXPECT_EQ(objects[0].value("state", ""), "empty");
  EXPECT_EQ(objects[1].value("key", ""), "Tandory");
  EXPECT_EQ(objects[1].value("name", ""), "Tandory shown");
  EXPECT_EQ(objects[1].value("folder", ""), folder_);
  EXPECT_EQ(objects[1].value("version", ""), "1.0");
  EXPECT_EQ(objects[1].value("state", ""), "incomplete");
}

// clean removes from the download cache what no installed product needs and
// keeps what a rerun needs: an unfinished update keeps its downloads (the
// rerun fetches only what it lacks), an earlier version and a product
// nobody has installed go, as do a stale partial download beside a
// complete install and a link planted in the cache (never what it leads
// to); the build copy of what is installed stays for status.
TEST_F(InstallEngineTest, CleanRemovesWhatNoInstalledProductNeeds) {
  const Files one = VersionOne();
  const Files two = VersionTwo();
  Publish("1.0", one);
  Publish("2.0", two);
  ASSERT_EQ(Run("1.0"), 0) << Log();
  Register("Tandory", folder_);
  // 2.0 stops at a wrong download, late enough for its other files to be
  // fetched.
  ASSERT_TRUE(service_->Script(
      "vclient/download",
      R"([{"filename":"Tandory.exe","status":200,"body":"not the file","delay_ms":500,
           "content_type":"application/octet-stream"}])"));
  ASSERT_EQ(Run("2.0"), 1);
  ASSERT_TRUE(service_->ClearScript());
  ASSERT_EQ(Record().value("state", ""), "incomplete");
  const auto unfinished = CacheFiles("tdy/live/2.0");
  ASSERT_GT(unfinished.size(), 2u);
  WriteServiceFile(cache_, "old/live/3.0/data/x.bin.z", std::string(3000, 'x'));
  WriteServiceFile(cache_, "old/live/3.0/data/y.bin.z.partial", std::string(700, 'y'));
  WriteServiceFile(cache_, "stray.txt", "left by hand");
  const std::string elsewhere = folders_.Sub("elsewhere");
  WriteServiceFile(elsewhere, "precious.txt", "not the cache's");
  PlantFolderLink(elsewhere, cache_ + "/tdy/live/0.9");
  uintmax_t expected = 0;
  for (const char* gone : {"tdy/live/1.0", "old"})
    for (const auto& [name, size] : CacheFiles(gone)) expected += size;
  expected += std::string("left by hand").size();

  const auto report = nlohmann::json::parse(Command({"--json", "clean"}), nullptr, false);
  EXPECT_EQ(lastExit_, 0) << report.dump();
  EXPECT_EQ(report.value("freed_bytes", uintmax_t{0}), expected) << "a link frees nothing";
  std::set<std::string> versions;
  for (const auto& v : report["versions"])
    versions.insert(v.value("product", "") + " " + v.value("version", "") + " " +
                    v.value("removed", ""));
  EXPECT_EQ(versions.count("tdy 1.0 all"), 1u) << report.dump();
  EXPECT_EQ(versions.count("old 3.0 all"), 1u) << report.dump();
  EXPECT_TRUE(CacheFiles("tdy/live/1.0").empty());
  EXPECT_FALSE(fs::exists(cache_ + "/old"));
  EXPECT_FALSE(fs::exists(cache_ + "/stray.txt"));
  EXPECT_EQ(CacheFiles("tdy/live/2.0"), unfinished) << "what the rerun needs stays";
  EXPECT_EQ(ReadTextFile(elsewhere + "/precious.txt"), "not the cache's");
  EXPECT_FALSE(fs::exists(fs::symlink_status(cache_ + "/tdy/live/0.9")));

  const size_t before = service_->RequestLog().size();
  ASSERT_EQ(Run("2.0"), 0) << Log();
  size_t fetched = 0;
  for (size_t i = before; i < service_->RequestLog().size(); ++i)
    fetched += service_->RequestLog()[i].value("path", "") == "vclient/download" ? 1 : 0;
  EXPECT_EQ(fetched, 1u) << "only the file that was wrong";

  // Beside a complete install only the build copy is needed.
  WriteServiceFile(cache_, "tdy/live/2.0/data/big.bin.z.partial", std::string(1500, 'p'));
  const std::string text = Command({"clean"});
  EXPECT_EQ(lastExit_, 0);
  EXPECT_NE(text.find("removed the downloads of tdy live 2.0"), std::string::npos) << text;
  EXPECT_NE(text.find("Freed 1.5 kB (1 file(s))"), std::string::npos) << text;
  EXPECT_NE(Command({"status", folder_}).find("tdy live 2.0, complete"), std::string::npos);
}

}  // namespace
}  // namespace VendraTest
