#pragma once

// What the install benchmarks share: generated content, programs started
// from a small child so that their peak memory is their own, and the stand
// they install on (a machine root, the service stand-in over HTTPS on
// loopback, a signed-in session and VendraBuild).
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraBench {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start);

// Text-like (even seeds) or binary-like content of size bytes, the same for
// the same seed, so that a mix compresses as real builds do.
std::string Content(size_t size, unsigned seed);

struct Run {
  int code = -1;
  double seconds = 0;
  double peakMib = 0;
  double userSeconds = 0;    // processor time in the program ...
  double systemSeconds = 0;  // ... and in the system on its behalf
};

// A child forked while this process is still small starts every program:
// a program forked from here would count this process's memory (the build,
// held in memory) in its own peak. Make it first.
class Spawner {
 public:
  Spawner();
  ~Spawner();
  Spawner(const Spawner&) = delete;
  Spawner& operator=(const Spawner&) = delete;
  // Runs args to their end, standard output appended to log (when given).
  Run Spawn(const std::vector<std::string>& args, const std::string& log);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int in_ = -1;
};

// A throw-away machine (VENDRA_MACHINE_ROOT, so that nothing is made outside
// it), a service root, and VendraBuild accepting unsigned builds.
class Stand {
 public:
  explicit Stand(Spawner& spawner);
  // Starts the service on the root (again, with other options: a rate) and
  // signs in to it; false with the reason on standard error.
  bool Serve(VendraTest::ServiceOptions options = {});
  Run VendraBuild(const std::vector<std::string>& words);
  Run Install(const std::string& version, const std::string& folder);
  // The bytes the last VendraBuild run said it downloads.
  uint64_t PlannedDownloadBytes() const;

  VendraTest::TempFolder machine, serviceRoot, work;
  std::unique_ptr<VendraTest::ServiceProcess> service;
  VendraTest::SignedInSession session;
  const std::string log = work.Sub("run.log");

 private:
  Spawner& spawner_;
};

}  // namespace VendraBench
