// Then the sending rate of a service started with "--rate 100M": 25 MB over
// one connection, and over two at once (the limit is the whole server's,
// as one user's line, so two are no faster together).
//
// Downloads a 256 MiB file from the service stand-in over HTTPS on loopback,
// once through the client's file writer and once with `curl -o`, several
// rounds back to back, and takes the median of the rounds' speed ratios, so
// that a busy machine slowing one round down does not decide the figure. Each download runs in a
// child process of its own so that its peak memory can be read alone.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "client/curl_file_writer.h"
#include "client/transfer.h"
#include "common/text/utf.h"
#include "service/digest.h"
#include "tests/support/service_process.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr size_t kFileSize = 256u << 20;
constexpr int kRounds = 5;
const char kSecret[] = "JBSWY3DPEHPK3PXP";

struct ChildRun {
  bool ok = false;
  double seconds = 0;
  double peakMib = 0;
};

ChildRun RunInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  rusage usage{};
  ChildRun run;
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.peakMib = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return run;
}

std::string JsonToken(const std::string& body, const std::string& member) {
  auto reply = nlohmann::json::parse(body, nullptr, false);
  if (reply.is_discarded() || !reply.contains(member)) return std::string();
  return reply[member].value("access_token", "");
}

// The service's reply to user "bench" signing in on "bench-device" with iv.
std::string LoginReply(VendraTest::ServiceProcess& service, const std::string& iv) {
  return VendraTest::PostForm(
             service.url() + "vclient/login", service.caFile(),
             {{"username", "bench"}, {"iv", iv},
              {"key", VendraService::Md5Hex(iv + VendraService::Md5Hex("pw"))},
              {"local_id", "bench-device"}, {"length", "3600"}})
      .body;
}

constexpr uint64_t kRatedBytes = 25 * 1000 * 1000;

// Megabits per second of the body bytes of connections downloads of
// kRatedBytes / connections each, at once, from a service limited to 100M.
double RatedMbitPerSecond(const std::string& root, int connections) {
  VendraTest::ServiceProcess service(root, {true, false, {"--rate", "100M"}});
  const std::string iv = "vclient-rated-" + std::to_string(connections);
  const std::string login = LoginReply(service, iv);
  const std::string access = JsonToken(login, "access_token");
  const std::string local = JsonToken(login, "local_token");
  if (!service.ok() || access.empty() || local.empty()) return 0;
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"access_token", access}, {"local_id", "bench-device"}, {"local_token", local},
      {"utility", "big"}};
  const uint64_t each = kRatedBytes / static_cast<uint64_t>(connections);
  std::vector<uint64_t> received(static_cast<size_t>(connections));
  const auto started = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int i = 0; i < connections; ++i) {
    threads.emplace_back([&, i] {
      const uint64_t first = each * static_cast<uint64_t>(i);
      received[static_cast<size_t>(i)] =
          VendraTest::PostForm(service.url() + "vclient/download", service.caFile(), fields, 60,
                               std::to_string(first) + "-" + std::to_string(first + each - 1))
              .body.size();
    });
  }
  for (std::thread& thread : threads) thread.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  uint64_t total = 0;
  for (uint64_t bytes : received) total += bytes;
  return total == each * static_cast<uint64_t>(connections)
             ? static_cast<double>(total) * 8 / 1e6 / seconds
             : 0;
}

}  // namespace

int main() {
  VendraTest::TempFolder root;
  VendraTest::TempFolder work;
  ::setenv("TMPDIR", work.path().c_str(), 1);

  const std::string file = root.Sub("utilities/big/big.bin.z");
  VendraTest::WriteServiceFile(root.path(), "utilities/big/manifest.json",
                               R"({"name":"big","filename":"big.bin"})");
  {
    std::ofstream out(file, std::ios::binary);
    std::vector<char> block(1 << 20);
    std::mt19937_64 random(5);
    for (size_t done = 0; done < kFileSize; done += block.size()) {
      for (size_t i = 0; i < block.size(); i += 8) {
        const uint64_t value = random();
        std::memcpy(block.data() + i, &value, 8);
      }
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  if (!VendraTest::AddServiceUser(root.path(), "bench", "pw", kSecret)) return 1;
  VendraTest::ServiceProcess service(root.path(), {true, false, {}});
  if (!service.ok()) {
    std::fprintf(stderr, "the service did not start\n");
    return 1;
  }
  const std::string iv = "vclient-1";
  const std::string access = JsonToken(LoginReply(service, iv), "access_token");
  const auto auth = VendraTest::PostForm(
      service.url() + "vclient/deviceauth", service.caFile(),
      {{"access_token", access}, {"local_id", "bench-device"},
       {"code", VendraTest::AuthenticatorCode(kSecret, std::time(nullptr))}, {"name", "bench"}});
  const std::string local = JsonToken(auth.body, "local_token");
  if (access.empty() || local.empty()) {
    std::fprintf(stderr, "sign-in failed\n");
    return 1;
  }
  ::setenv("VENDRA_SERVICE_URL", service.url().c_str(), 1);
  ::setenv("VENDRA_CA_FILE", service.caFile().c_str(), 1);

  const std::string clientTarget = work.Sub("client/big.bin.z");
  const std::string curlTarget = work.Sub("curl/big.bin.z");
  std::filesystem::create_directories(work.Sub("curl"));

  auto clientDownload = [&]() -> int {
    std::u16string error;
    VendraClient::VClient_CurlWriter_File writer(nullptr, nullptr);
    writer.ExpectSize(kFileSize);
    if (!writer.Open(VendraText::Utf8ToUtf16(clientTarget), u"", error)) return 2;
    VendraClient::VClientTransfer transfer;
    if (transfer.CreateTransfer(error) != VendraClient::eVClientResult::Success) return 3;
    transfer.SetRequestPath("vclient/download");
    transfer.AddFormField("access_token", access);
    transfer.AddFormField("local_id", "bench-device");
    transfer.AddFormField("local_token", local);
    transfer.AddFormField("utility", "big");
    uint32_t status = 0;
    const auto code = transfer.PerformRequest(writer, status, error);
    return writer.Finish(code, status, error) == VendraClient::eVClientResult::Success ? 0 : 4;
  };
  auto curlDownload = [&]() -> int {
    const std::string url = service.url() + "vclient/download";
    const std::string ca = service.caFile();
    const std::string fields[] = {"access_token=" + access, "local_id=bench-device",
                                  "local_token=" + local, "utility=big"};
    std::vector<const char*> argv = {"curl", "-s", "-S", "-f", "--cacert", ca.c_str(),
                                     "-o", curlTarget.c_str()};
    for (const auto& field : fields) {
      argv.push_back("-F");
      argv.push_back(field.c_str());
    }
    argv.push_back(url.c_str());
    argv.push_back(nullptr);
    ::execvp("curl", const_cast<char* const*>(argv.data()));
    return 127;
  };

  std::vector<double> ratios;
  double clientSeconds = 0;
  double curlSeconds = 0;
  double peakMib = 0;
  for (int round = 0; round < kRounds; ++round) {
    const ChildRun client = RunInChild(clientDownload);
    const ChildRun curl = RunInChild(curlDownload);
    if (!client.ok || !curl.ok ||
        std::filesystem::file_size(clientTarget) != kFileSize ||
        std::filesystem::file_size(curlTarget) != kFileSize) {
      std::fprintf(stderr, "a download failed (client %d, curl %d)\n", client.ok, curl.ok);
      return 1;
    }
    ratios.push_back(curl.seconds / client.seconds);
    clientSeconds += client.seconds;
    curlSeconds += curl.seconds;
    peakMib = std::max(peakMib, client.peakMib);
    std::printf("round %d: client %.3f s, curl %.3f s, client peak %.1f MiB\n", round + 1,
                client.seconds, curl.seconds, client.peakMib);
  }
  const double mib = static_cast<double>(kFileSize) / (1 << 20);
  std::sort(ratios.begin(), ratios.end());
  std::printf("client_mib_per_s %.1f\n", mib * kRounds / clientSeconds);
  std::printf("curl_mib_per_s %.1f\n", mib * kRounds / curlSeconds);
  std::printf("ratio download_vs_curl %.3f\n", ratios[ratios.size() / 2]);
  std::printf("peak_rss_mib %.1f\n", peakMib);
  service.Stop();
  for (int connections : {1, 2}) {
    const double rate = RatedMbitPerSecond(root.path(), connections);
    if (rate == 0) {
      std::fprintf(stderr, "a download from the limited service failed\n");
      return 1;
    }
    std::printf("rate_limit_100M_mbit_per_s %.1f (%d connection%s, 25 MB of body)\n", rate,
                connections, connections == 1 ? "" : "s at once");
  }
  return 0;
}
