#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "packagemanager/engine/install_progress.h"

namespace VendraBuild {

// A moment of an install as every view of it shows it: what is being done,
// how far, how fast and how long still.
struct ProgressFigures {
  std::string step;         // "Downloading", "Installing", "Fetching the build", ...
  bool measured = false;    // done and total count the bytes of the step
  uint64_t done = 0;
  uint64_t total = 0;
  double rate = 0;          // bytes a second lately; 0 while not known
  uint32_t filesDone = 0;   // files in place, of
  uint32_t filesTotal = 0;  // the files this run places
  std::string file;         // the file at hand as people read its name, or empty

  unsigned Percent() const;
  // "50%  2.0 MB of 4.0 MB  1.0 MB/s  2 s left"; empty when nothing is
  // measured. percentWidth pads the percentage (3 keeps a redrawn line still).
  std::string Amounts(int percentWidth = 0) const;
};

// Follows the engine's notices and measures the rate from the bytes of the
// last few seconds, so that a download that slows down or speeds up shows its
// present pace.
class ProgressMeter {
 public:
  // What a notice changed.
  struct Change {
    bool newGroup = false;  // a phase other than the last one's (downloads and installs share one)
    bool newFile = false;
    bool fileDone = false;  // the file's phase just reached its end
  };
  // now: seconds on a steady clock.
  Change Take(const InstallProgress& p, double now);
  ProgressFigures Figures() const;

 private:
  struct Sample {
    double time;
    uint64_t bytes;
  };
  double Rate() const;

  bool havePhase_ = false;
  std::deque<Sample> samples_;
  InstallProgress last_;
};

}  // namespace VendraBuild
