// An update that changes about 1% of a chunked build, against the same
// update of whole files and against its floor, in one run:
//   a build of about TOTAL_MIB (default 1024) in 10 large files of 50-200
//   MiB (scaled with TOTAL_MIB) and 200 small ones, published twice on the
//   service stand-in over HTTPS on loopback: with chunk lists (1.1) and
//   without (1.0); then an update of each (2.1, 2.0) with 50 edits of 4-64
//   KiB spread over the large files (insertions, overwrites, deletions) and
//   5 small files changed whole.
// It prints the bytes each update fetched (text replies such as the build
// object included, as sent: encoded), the times, and the ratios: the
// chunked update's bytes against the compressed chunks that hold changed
// bytes and against the whole-file update; its time
// against the whole-file update's with the service held to 100 Mbit/s, and
// on loopback against a floor (read the changed large files once, write
// them once, fetch the new chunks in one request); a cold install of the
// chunked build against the whole one; and the peak memory of every run.
// Usage: delta_bench [TOTAL_MIB]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/install/install_stand.h"
#include "tests/support/chunk_lists.h"
#include "tests/support/published_build.h"

namespace {

namespace fs = std::filesystem;
using VendraBench::Clock;
using VendraBench::Run;
using VendraBench::Since;
using Files = std::vector<VendraTest::PublishedFile>;

constexpr size_t kLargeFiles = 10;
constexpr size_t kSmallFiles = 200;
constexpr size_t kEdits = 50;
constexpr size_t kSmallChanged = 5;

// 10 large files of 50 to 200 parts in 1250 (of 95% of the total), then
// the small ones of 4 to 300 KiB; the program first.
Files MakeBuild(size_t totalMib) {
  Files files;
  const double unit = totalMib * 1048576.0 * 0.95 / 1250.0;
  std::mt19937 random(1);
  files.push_back({"Tandory.exe", VendraBench::Content(64 * 1024, 1), ""});
  for (size_t i = 0; i < kLargeFiles; ++i) {
    const size_t size = static_cast<size_t>(unit * (50.0 + 150.0 * i / (kLargeFiles - 1)));
    files.push_back({"data\\large" + std::to_string(i) + ".pak",
                     VendraBench::Content(size, 100 + static_cast<unsigned>(i)), ""});
  }
  for (size_t i = 0; i < kSmallFiles; ++i)
    files.push_back({"data\\small\\s" + std::to_string(i) + ".dat",
                     VendraBench::Content(4096 + random() % (296 * 1024),
                                          1000 + static_cast<unsigned>(i)),
                     ""});
  return files;
}

// The update: 50 edits over the large files, 5 small files new.
Files Edited(const Files& one) {
  Files two = one;
  std::mt19937 random(2);
  for (size_t k = 0; k < kEdits; ++k) {
    std::string& content = two[1 + k % kLargeFiles].content;
    const size_t length = 4096 + random() % (60 * 1024);
    const size_t at = random() % (content.size() - length);
    const std::string bytes = VendraBench::Content(length, 5000 + static_cast<unsigned>(k));
    switch (k % 3) {
      case 0: content.insert(at, bytes); break;
      case 1: content.replace(at, length, bytes); break;
      default: content.erase(at, length); break;
    }
  }
  for (size_t k = 0; k < kSmallChanged; ++k) {
    std::string& content = two[1 + kLargeFiles + k * 37].content;
    content = VendraBench::Content(content.size(), 9000 + static_cast<unsigned>(k));
  }
  for (auto& file : two) {
    auto original = std::find_if(one.begin(), one.end(),
                                 [&](const auto& o) { return o.name == file.name; });
    if (original->content != file.content) file.packed.clear();
  }
  VendraTest::Pack(two);
  return two;
}

nlohmann::json BuildObject(const std::string& root, const std::string& version) {
  std::ifstream in(root + "/catalogue/tdy/live/" + version + "/build.json");
  return nlohmann::json::parse(in);
}

uint64_t FileSize(const std::string& path) {
  std::error_code ignored;
  const auto size = fs::file_size(path, ignored);
  return ignored ? 0 : size;
}

bool Publish(const std::string& root, const std::string& version, const Files& files,
             bool chunked, const std::string& scratch) {
  VendraTest::PublishBuild(root, "tdy", "live", version, files);
  if (!chunked) return true;
  std::map<std::string, const std::string*> contents;
  for (const auto& file : files) contents[file.name] = &file.content;
  std::string failure;
  if (VendraTest::AddChunkLists(
          root, "tdy", "live", version,
          [&](const std::string& name) -> const std::string& { return *contents.at(name); },
          scratch, failure))
    return true;
  std::fprintf(stderr, "publishing %s failed: %s\n", version.c_str(), failure.c_str());
  return false;
}

// Reads each file and writes its bytes to scratch, in seconds.
double ReadAndWrite(const std::vector<std::string>& paths, const std::string& scratch) {
  const auto start = Clock::now();
  std::string buffer(8 << 20, '\0');
  for (const auto& path : paths) {
    std::ifstream in(path, std::ios::binary);
    std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
      out.write(buffer.data(), in.gcount());
    out.flush();
    out.close();
    // As the install pushes each file to the disk before its rename.
    std::FILE* file = std::fopen(scratch.c_str(), "rb+");
    if (file) {
      ::fsync(::fileno(file));
      std::fclose(file);
    }
  }
  return Since(start);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t totalMib = argc > 1 ? std::stoul(argv[1]) : 1024;
  VendraBench::Spawner spawner;
  VendraBench::Stand stand(spawner);
  const std::string root = stand.serviceRoot.path();
  const std::string scratch = stand.work.Sub("scratch");

  std::printf("making a build of about %zu MiB: %zu large files, %zu small ones\n", totalMib,
              kLargeFiles, kSmallFiles);
  Files one = MakeBuild(totalMib);
  VendraTest::Pack(one);
  const Files two = Edited(one);
  if (!Publish(root, "1.0", one, false, scratch) || !Publish(root, "2.0", two, false, scratch) ||
      !Publish(root, "1.1", one, true, scratch))
    return 1;
  std::set<std::string> packsBefore;
  for (const auto& entry : fs::directory_iterator(root + "/chunks/tdy"))
    packsBefore.insert(entry.path().string());
  if (!Publish(root, "2.1", two, true, scratch)) return 1;
  std::string newPack;
  for (const auto& entry : fs::directory_iterator(root + "/chunks/tdy"))
    if (entry.path().extension() == ".pack" && !packsBefore.count(entry.path().string()))
      newPack = entry.path().stem().string();

  // The chunks that hold changed bytes: those of 2.1 that 1.1 lacks.
  std::set<std::string> earlierChunks, counted;
  const nlohmann::json earlierBuild = BuildObject(root, "1.1");
  const nlohmann::json laterBuild = BuildObject(root, "2.1");
  for (const auto& file : earlierBuild["data"]["files"])
    for (const auto& chunk : file["chunks"]) earlierChunks.insert(chunk["sha256"]);
  uint64_t ideal = 0;
  for (const auto& file : laterBuild["data"]["files"])
    for (const auto& chunk : file["chunks"])
      if (!earlierChunks.count(chunk["sha256"]) && counted.insert(chunk["sha256"]).second)
        ideal += chunk["compressed_size"].get<uint64_t>();
  uint64_t packed = 0;
  for (const auto& file : one) packed += file.packed.size();
  std::printf("build: %zu files, %.1f MiB compressed; update: %zu edits, %zu small files\n",
              one.size(), packed / 1048576.0, kEdits, kSmallChanged);
  one.clear();
  one.shrink_to_fit();

  if (!stand.Serve()) return 1;
  double peak = 0;
  const auto install = [&](const std::string& version, const std::string& folder) {
    const Run run = stand.Install(version, folder);
    peak = std::max(peak, run.peakMib);
    if (run.code != 0) std::fprintf(stderr, "install %s failed; see %s\n", version.c_str(),
                                    stand.log.c_str());
    return run;
  };
  const std::string wholeFolder = stand.work.Sub("Whole");
  const std::string chunkedFolder = stand.work.Sub("Chunked");
  const Run wholeCold = install("1.0", wholeFolder);
  const Run chunkedCold = install("1.1", chunkedFolder);
  if (wholeCold.code != 0 || chunkedCold.code != 0) return 1;
  // The same starting points for the updates at 100 Mbit/s.
  std::system(("cp -a '" + wholeFolder + "' '" + wholeFolder + "-rated' && cp -a '" +
               chunkedFolder + "' '" + chunkedFolder + "-rated'")
                  .c_str());

  // What an update fetched: the files and chunks it planned, and the text
  // replies (the build object among them) as the service sent them, encoded.
  size_t logged = stand.service->RequestLog().size();
  const auto textBytes = [&] {
    const std::vector<nlohmann::json> log = stand.service->RequestLog();
    uint64_t bytes = 0;
    for (size_t i = logged; i < log.size(); ++i) bytes += log[i].value("body_bytes", uint64_t(0));
    logged = log.size();
    return bytes;
  };
  const Run wholeUpdate = install("2.0", wholeFolder);
  const uint64_t wholeBytes = stand.PlannedDownloadBytes() + textBytes();
  const Run deltaUpdate = install("2.1", chunkedFolder);
  const uint64_t deltaChunkBytes = stand.PlannedDownloadBytes();
  const uint64_t deltaTextBytes = textBytes();
  const uint64_t deltaBytes = deltaChunkBytes + deltaTextBytes;
  if (wholeUpdate.code != 0 || deltaUpdate.code != 0) return 1;

  // The floor: the changed large files read once and written once, and the
  // new chunks fetched in one request (the pack 2.1 added holds them all).
  std::vector<std::string> changedLarge;
  for (size_t i = 1; i <= kLargeFiles; ++i)
    changedLarge.push_back(chunkedFolder + "/data/large" + std::to_string(i - 1) + ".pak");
  const double readWrite = ReadAndWrite(changedLarge, scratch);
  std::string device;
  for (const auto& line : stand.service->RequestLog())
    if (line.value("path", "") == "vclient/download") device = line["fields"].value("local_id", "");
  const Run fetch = spawner.Spawn(
      {"curl", "-s", "-f", "-o", "/dev/null", "--cacert", stand.service->caFile(), "-F",
       "access_token=" + stand.session.accessToken, "-F", "local_id=" + device, "-F",
       "local_token=" + stand.session.localToken, "-F", "software=tdy", "-F", "pack=" + newPack,
       stand.service->url() + "vclient/download"},
      "");
  const double floor = readWrite + fetch.seconds;

  std::printf("cold: whole files %.2f s, chunked build %.2f s\n", wholeCold.seconds,
              chunkedCold.seconds);
  std::printf("update on loopback: whole files %.2f s, %.2f MiB fetched; chunks %.2f s, %.2f MiB "
              "fetched; changed chunks %.2f MiB\n",
              wholeUpdate.seconds, wholeBytes / 1048576.0, deltaUpdate.seconds,
              deltaBytes / 1048576.0, ideal / 1048576.0);
  std::printf("of which text replies (the build object with its chunk lists, %.2f MiB "
              "unencoded) %.2f MiB; fetched without them against the changed chunks %.3f\n",
              FileSize(root + "/catalogue/tdy/live/2.1/build.json") / 1048576.0,
              deltaTextBytes / 1048576.0,
              static_cast<double>(deltaChunkBytes) / static_cast<double>(ideal));
  std::printf("floor: read+write of the %zu large files %.2f s, fetch of the new chunks %.2f s "
              "(code %d)\n",
              kLargeFiles, readWrite, fetch.seconds, fetch.code);

  if (!stand.Serve({true, false, {"--rate", "100M"}})) return 1;
  const Run wholeRated = install("2.0", wholeFolder + "-rated");
  const Run deltaRated = install("2.1", chunkedFolder + "-rated");
  std::printf("update at 100 Mbit/s: whole files %.2f s (code %d), chunks %.2f s (code %d)\n",
              wholeRated.seconds, wholeRated.code, deltaRated.seconds, deltaRated.code);

  std::printf("ratio delta_fetched_vs_ideal %.3f (bound 1.15)\n",
              static_cast<double>(deltaBytes) / static_cast<double>(ideal));
  std::printf("ratio delta_fetched_vs_whole_files %.3f (bound 0.05)\n",
              static_cast<double>(deltaBytes) / static_cast<double>(wholeBytes));
  std::printf("ratio delta_update_vs_whole_files_at_100mbit %.3f (bound 0.2)\n",
              deltaRated.seconds / wholeRated.seconds);
  std::printf("ratio delta_update_vs_floor %.3f (bound 1.5)\n", deltaUpdate.seconds / floor);
  std::printf("ratio chunked_cold_vs_whole_cold %.3f (bound 1.1)\n",
              chunkedCold.seconds / wholeCold.seconds);
  size_t largest = 0, largestPacked = 0;
  for (const auto& file : two) {
    largest = std::max(largest, file.content.size());
    largestPacked = std::max(largestPacked, file.packed.size());
  }
  std::printf("peak_rss_mib %.0f (install_bench's bound %.0f)\n", peak,
              (largest + largestPacked) / 1048576.0 + 64);
  return 0;
}
