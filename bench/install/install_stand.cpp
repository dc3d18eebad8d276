#include "bench/install/install_stand.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace VendraBench {
namespace {

Run SpawnHere(const std::vector<std::string>& args, const std::string& log) {
  std::fflush(nullptr);
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!log.empty()) {
      std::FILE* out = std::freopen(log.c_str(), "a", stdout);
      if (!out) ::_exit(127);
    }
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  Run run;
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = Since(start);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakMib = static_cast<double>(usage.ru_maxrss) / 1024.0;
  run.userSeconds = static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6;
  run.systemSeconds = static_cast<double>(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6;
  return run;
}

// The spawning child: reads each request (the log, then the arguments,
// separated by zero bytes) and answers with its Run.
void Serve(int in, int out) {
  uint32_t length = 0;
  while (::read(in, &length, sizeof length) == sizeof length) {
    std::string request(length, '\0');
    size_t got = 0;
    while (got < length) {
      const ssize_t n = ::read(in, request.data() + got, length - got);
      if (n <= 0) return;
      got += static_cast<size_t>(n);
    }
    std::vector<std::string> parts;
    size_t at = 0;
    for (size_t next; (next = request.find('\0', at)) != std::string::npos; at = next + 1)
      parts.push_back(request.substr(at, next - at));
    parts.push_back(request.substr(at));
    const std::string log = parts.front();
    parts.erase(parts.begin());
    const Run run = SpawnHere(parts, log);
    if (::write(out, &run, sizeof run) != sizeof run) return;
  }
}

}  // namespace

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Content(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes;
  bytes.reserve(size);
  if (seed % 2 == 0) {
    static const char* kWords[] = {"install ", "vendra ", "build ", "file ", "the ", "of ",
                                   "version ", "folder\n", "digest ", "0x3f2a ", "{\"k\": 1} "};
    while (bytes.size() < size) bytes += kWords[random() % 11];
  } else {
    while (bytes.size() < size) {
      const char c = static_cast<char>(random());
      bytes.append(random() % 4 == 0 ? 1 + random() % 16 : 1, c);
    }
  }
  bytes.resize(size);
  return bytes;
}

Spawner::Spawner() {
  int toChild[2], toParent[2];
  if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(toChild[1]);
    ::close(toParent[0]);
    Serve(toChild[0], toParent[1]);
    ::_exit(0);
  }
  ::close(toChild[0]);
  ::close(toParent[1]);
  out_ = toChild[1];
  in_ = toParent[0];
}

Spawner::~Spawner() {
  ::close(out_);
  ::close(in_);
  if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
}

Run Spawner::Spawn(const std::vector<std::string>& args, const std::string& log) {
  std::string request = log;
  for (const auto& arg : args) request += '\0' + arg;
  const uint32_t length = static_cast<uint32_t>(request.size());
  Run run;
  if (::write(out_, &length, sizeof length) != sizeof length ||
      ::write(out_, request.data(), length) != static_cast<ssize_t>(length) ||
      ::read(in_, &run, sizeof run) != sizeof run)
    return Run{};
  return run;
}

Stand::Stand(Spawner& spawner) : spawner_(spawner) {
  ::setenv("VENDRA_MACHINE_ROOT", machine.path().c_str(), 1);
  VendraTest::WriteServiceFile(machine.path(), "etc/machine-id",
                               "00112233445566778899aabbccddeeff\n");
  VendraTest::WriteServiceFile(work.path(), "config.json", R"({"accept_unsigned_builds": true})");
  ::setenv("VENDRA_BUILD_CONFIG", work.Sub("config.json").c_str(), 1);
}

bool Stand::Serve(VendraTest::ServiceOptions options) {
  service.reset();
  service = std::make_unique<VendraTest::ServiceProcess>(serviceRoot.path(), options);
  if (!service->ok()) return false;
  ::setenv("VENDRA_SERVICE_URL", service->url().c_str(), 1);
  ::setenv("VENDRA_CA_FILE", service->caFile().c_str(), 1);
  std::string failure;
  if (!VendraTest::StoreSignedInSession(*service, session, failure)) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return false;
  }
  return true;
}

Run Stand::VendraBuild(const std::vector<std::string>& words) {
  // The spawner was forked before these were set.
  std::vector<std::string> args = {"env"};
  for (const char* name : {"VENDRA_MACHINE_ROOT", "VENDRA_BUILD_CONFIG", "VENDRA_SERVICE_URL",
                           "VENDRA_CA_FILE"})
    args.push_back(std::string(name) + "=" + std::getenv(name));
  args.push_back(VENDRA_BUILD_PROGRAM);
  args.insert(args.end(), words.begin(), words.end());
  return spawner_.Spawn(args, log);
}

Run Stand::Install(const std::string& version, const std::string& folder) {
  return VendraBuild({"install", "tdy", "live", version, folder, folder + "/Tandory.exe"});
}

uint64_t Stand::PlannedDownloadBytes() const {
  const std::string text = VendraTest::ReadTextFile(log);
  const size_t line = text.rfind("Downloading ");
  if (line == std::string::npos) return 0;
  const size_t comma = text.find(", ", line);
  return comma == std::string::npos ? 0 : std::stoull(text.substr(comma + 2));
}

}  // namespace VendraBench
