// VendraBuild install against what the machine can do at best, in one run:
//   cold    an install into an empty folder, against the serial floor (curl
//           fetching every ".z" over one connection, then one-shot uncompress
//           of each in memory, then SHA-256 of each) and the pipelined floor
//           (the larger of the fetch and the uncompress-plus-hash figures);
//   update  a second build changing 10% of the files, installed over the
//           first, against the same floors over the changed files;
//   verify  a rerun with nothing to do, against SHA-256 of every file (it
//           trusts what the record saw), and a repair, which reads every file;
//   resume  a cold install cut by the service at half of the bytes (the run
//           gives up), then rerun: bytes fetched in all / bytes of the build.
// Usage: install_bench [TOTAL_MIB [FILES]] (default 1024 MiB in 300 files).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/install/install_stand.h"
#include "install/sha256.h"
#include "tests/support/published_build.h"
#include "tests/support/service_process.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using VendraBench::Clock;
using VendraBench::Content;
using VendraBench::Run;
using VendraBench::Since;

// A few large files and many small ones, about totalMib in all.
std::vector<VendraTest::PublishedFile> MakeBuild(size_t totalMib, size_t count, unsigned seed) {
  const size_t total = totalMib << 20;
  std::vector<size_t> sizes;
  const size_t large = std::max<size_t>(1, count / 100);
  size_t used = 0;
  std::mt19937 random(seed);
  for (size_t i = 0; i + large < count; ++i) {
    sizes.push_back(1024 + random() % (2u << 20));
    used += sizes.back();
  }
  const size_t left = total > used ? total - used : large << 20;
  for (size_t i = 0; i < large; ++i) sizes.push_back(left / large);
  std::vector<VendraTest::PublishedFile> files;
  for (size_t i = 0; i < sizes.size(); ++i) {
    VendraTest::PublishedFile file;
    // The first is the product's program, which every install marks.
    file.name = i == 0 ? std::string("Tandory.exe") : "data\\f" + std::to_string(i) + ".bin";
    file.content = Content(sizes[i], seed * 1000 + static_cast<unsigned>(i));
    files.push_back(std::move(file));
  }
  return files;
}

// One-shot uncompress in memory and SHA-256 of each file, in seconds.
double UncompressAndHash(const std::vector<const VendraTest::PublishedFile*>& files) {
  const auto start = Clock::now();
  std::vector<unsigned char> out;
  for (const VendraTest::PublishedFile* file : files) {
    out.resize(file->content.size());
    uLongf length = static_cast<uLongf>(out.size());
    uncompress(out.data(), &length, reinterpret_cast<const Bytef*>(file->packed.data()),
               static_cast<uLong>(file->packed.size()));
    VendraTest::Sha256Hex(out.data(), length);
  }
  return Since(start);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t totalMib = argc > 1 ? std::stoul(argv[1]) : 1024;
  const size_t count = argc > 2 ? std::stoul(argv[2]) : 300;
  VendraBench::Spawner spawner;
  VendraBench::Stand stand(spawner);
  const VendraTest::TempFolder& machine = stand.machine;
  const VendraTest::TempFolder& serviceRoot = stand.serviceRoot;
  const VendraTest::TempFolder& work = stand.work;

  std::printf("making a build of %zu MiB in %zu files\n", totalMib, count);
  std::vector<VendraTest::PublishedFile> one = MakeBuild(totalMib, count, 1);
  VendraTest::Pack(one);
  std::vector<VendraTest::PublishedFile> two = one;
  std::vector<const VendraTest::PublishedFile*> changed;
  for (size_t i = 0; i < two.size(); i += 10) {
    two[i].content = Content(two[i].content.size(), 7000 + static_cast<unsigned>(i));
    two[i].packed.clear();
  }
  VendraTest::Pack(two);
  for (size_t i = 0; i < two.size(); i += 10) changed.push_back(&two[i]);
  uint64_t packedTotal = 0;
  for (const auto& file : one) packedTotal += file.packed.size();
  VendraTest::PublishBuild(serviceRoot.path(), "tdy", "live", "1.0", one);
  VendraTest::PublishBuild(serviceRoot.path(), "tdy", "live", "2.0", two);
  std::printf("build: %zu files, %.1f MiB compressed\n", one.size(), packedTotal / 1048576.0);

  if (!stand.Serve()) return 1;
  const VendraTest::ServiceProcess& service = *stand.service;
  const VendraTest::SignedInSession& session = stand.session;
  const std::string folder = work.Sub("Tandory");
  const std::string& log = stand.log;
  const auto vendraBuild = [&](const std::vector<std::string>& words) {
    return stand.VendraBuild(words);
  };
  const auto install = [&](const std::string& version, const std::string& into) {
    return stand.Install(version, into);
  };

  const Run cold = install("1.0", folder);
  if (cold.code != 0) {
    std::fprintf(stderr, "cold install failed; see %s\n", log.c_str());
    std::fflush(nullptr);
    std::system(("tail -5 '" + log + "' >&2").c_str());
    return 1;
  }
  // The device and tokens for curl, as the client sent them.
  std::string device;
  for (const auto& line : service.RequestLog())
    if (line.value("path", "") == "vclient/download")
      device = line["fields"].value("local_id", "");

  // curl over one connection: every request in one configuration file.
  const auto fetchFloor = [&](const std::string& version,
                              const std::vector<const VendraTest::PublishedFile*>& files) {
    const std::string config = work.Sub("curl-" + version + ".conf");
    std::ofstream out(config);
    for (size_t i = 0; i < files.size(); ++i) {
      if (i) out << "next\n";
      out << "url = \"" << service.url() << "vclient/download\"\n"
          << "cacert = \"" << service.caFile() << "\"\n"
          << "output = \"/dev/null\"\nsilent\nfail\n";
      for (const auto& [name, value] :
           std::vector<std::pair<std::string, std::string>>{{"access_token", session.accessToken},
                                                            {"local_id", device},
                                                            {"local_token", session.localToken},
                                                            {"software", "tdy"},
                                                            {"branch", "live"},
                                                            {"version", version},
                                                            {"filename", files[i]->name}}) {
        std::string escaped = value;
        for (size_t at = 0; (at = escaped.find('\\', at)) != std::string::npos; at += 2)
          escaped.insert(at, "\\");
        out << "form-string = \"" << name << "=" << escaped << "\"\n";
      }
    }
    out.close();
    return spawner.Spawn({"curl", "-K", config}, "");
  };
  std::vector<const VendraTest::PublishedFile*> all;
  for (const auto& file : one) all.push_back(&file);
  const Run fetchAll = fetchFloor("1.0", all);
  const double unpackAll = UncompressAndHash(all);
  const double serialAll = fetchAll.seconds + unpackAll;
  const double pipelinedAll = std::max(fetchAll.seconds, unpackAll);
  std::printf("cold: install %.2f s (peak %.0f MiB; cpu %.2f s user, %.2f s system); fetch %.2f s, "
              "uncompress+sha256 %.2f s\n",
              cold.seconds, cold.peakMib, cold.userSeconds, cold.systemSeconds, fetchAll.seconds,
              unpackAll);

  const Run update = install("2.0", folder);
  const Run fetchChanged = fetchFloor("2.0", changed);
  const double unpackChanged = UncompressAndHash(changed);
  const double pipelinedChanged = std::max(fetchChanged.seconds, unpackChanged);
  std::printf("update: install %.2f s (code %d); fetch %.2f s, uncompress+sha256 %.2f s\n",
              update.seconds, update.code, fetchChanged.seconds, unpackChanged);

  const Run verify = install("2.0", folder);
  auto hashStart = Clock::now();
  std::string buffer(8 << 20, '\0');
  for (const auto& file : two) {
    std::string local = file.name;
    std::replace(local.begin(), local.end(), '\\', '/');
    std::ifstream in(folder + "/" + local, std::ios::binary);
    VendraClient::Sha256State state;
    VendraClient::Sha256Start(state);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
      VendraClient::Sha256Add(state, buffer.data(), static_cast<size_t>(in.gcount()));
    std::string text;
    VendraClient::Sha256Text(state, text);
  }
  const double hashAll = Since(hashStart);
  // A repair trusts no stamp: it reads every file, as a rerun did before the
  // record kept what it saw.
  const Run repair = vendraBuild({"modify", "tdy", folder});
  std::printf("repair: %.2f s (code %d)\n", repair.seconds, repair.code);
  std::printf("verify: install %.2f s (code %d); sha256 of every file %.2f s\n", verify.seconds,
              verify.code, hashAll);

  // Resume: the file that holds the build's middle byte is cut there, and
  // every try after it is refused, so that the run gives up; the rerun
  // continues.
  uint64_t before = 0;
  size_t cutFile = 0;
  while (cutFile < one.size() && before + one[cutFile].packed.size() < packedTotal / 2)
    before += one[cutFile++].packed.size();
  const uint64_t cutAt = packedTotal / 2 - before;
  // Meant for that file's requests, whatever order the downloads in flight
  // send them in.
  std::string cutName = one[cutFile].name;
  for (size_t at = 0; (at = cutName.find('\\', at)) != std::string::npos; at += 2)
    cutName.insert(at, "\\");
  const std::string only = "{\"filename\":\"" + cutName + "\",";
  std::string replies = "[" + only + "\"close_after\":" + std::to_string(cutAt) + "}";
  for (int i = 0; i < 3; ++i) replies += "," + only + "\"status\":503}";
  replies += "]";
  service.Script("vclient/download", replies);
  const size_t logStart = service.RequestLog().size();
  const std::string fresh = work.Sub("Fresh");
  fs::remove_all(machine.path() + "/ProgramData/Vendra Software/downloads/tdy/live/1.0");
  const Run cut = install("1.0", fresh);
  const Run rerun = install("1.0", fresh);
  std::map<std::string, uint64_t> sizes;
  for (const auto& file : one) sizes[file.name] = file.packed.size();
  // Each file's requests by the byte they start at: one ends where the next
  // one starts (a cut or stopped transfer), the last at the end of the file.
  // A request that starts no later than the one before it counts as the
  // earlier one's bytes fetched again.
  std::map<std::string, std::vector<uint64_t>> starts;
  const auto lines = service.RequestLog();
  for (size_t i = logStart; i < lines.size(); ++i) {
    if (lines[i].value("path", "") != "vclient/download" || lines[i].value("status", 0) != 200)
      continue;
    const std::string range = lines[i].value("range", "");
    starts[lines[i]["fields"].value("filename", "")].push_back(
        range.empty() ? 0 : std::stoull(range.substr(6)));
  }
  uint64_t fetched = 0;
  for (const auto& [name, from] : starts) {
    for (size_t k = 0; k < from.size(); ++k) {
      const uint64_t end = k + 1 < from.size() && from[k + 1] > from[k] ? from[k + 1] : sizes[name];
      fetched += end - from[k];
    }
  }
  std::printf("resume: cut run %.2f s (code %d), rerun %.2f s (code %d)\n", cut.seconds, cut.code,
              rerun.seconds, rerun.code);

  std::printf("ratio cold_vs_pipelined_floor %.3f\n", cold.seconds / pipelinedAll);
  std::printf("ratio cold_vs_serial_floor %.3f\n", cold.seconds / serialAll);
  std::printf("ratio update_vs_floor %.3f\n", update.seconds / pipelinedChanged);
  std::printf("ratio verify_vs_sha256 %.3f\n", verify.seconds / hashAll);
  std::printf("ratio repair_vs_sha256 %.3f\n", repair.seconds / hashAll);
  std::printf("ratio resume_bytes %.3f\n", static_cast<double>(fetched) / packedTotal);
  size_t largest = 0, largestPacked = 0;
  for (const auto& file : one) {
    largest = std::max(largest, file.content.size());
    largestPacked = std::max(largestPacked, file.packed.size());
  }
  std::printf("peak_rss_mib %.0f (bound %.0f)\n", cold.peakMib,
              (largest + largestPacked) / 1048576.0 + 64);
  return 0;
}
