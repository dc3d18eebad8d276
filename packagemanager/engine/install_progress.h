#pragma once

#include <cstdint>
#include <string>

namespace VendraBuild {

// What the install engine is doing at the moment of a notice.
enum class InstallPhase {
  Fetching,     // the build and its file list
  Downloading,  // a ".z" file into the download cache
  Installing,   // expanding and checking a file, then moving it into place
  Recording,    // writing the install record
  Checking,     // a rerun looking at what is already in place
};

// One notice of the install engine. Byte counts of a file are those of its
// current phase: compressed bytes while downloading, expanded bytes while
// installing. The totals of the whole install count compressed bytes
// downloaded and expanded bytes installed separately.
struct InstallProgress {
  InstallPhase phase = InstallPhase::Fetching;
  std::string file;  // the build's name of the file (UTF-8), empty between files
  uint64_t fileDone = 0;
  uint64_t fileTotal = 0;
  uint64_t downloadedBytes = 0;
  uint64_t downloadTotal = 0;
  uint64_t installedBytes = 0;
  uint64_t installTotal = 0;
  uint32_t filesDone = 0;   // files in place so far
  uint32_t filesTotal = 0;  // files this run places
};

// Hears the install engine. Calls come from the engine's threads, never two
// at once, and must return quickly: the engine waits for them.
class InstallProgressListener {
 public:
  virtual ~InstallProgressListener() = default;
  virtual void OnProgress(const InstallProgress& progress) = 0;
  // Something worth a line of its own that is not a failure: a retry after a
  // cut connection, a download continued from a partial file.
  virtual void OnNote(const std::string& text) = 0;
  // Asked between files: true stops the install before the next file is
  // placed or downloaded. Every final name then holds the earlier file or the
  // new one, whole, and the record says "incomplete", so a rerun finishes the
  // job. A download already running ends first (it is kept for the rerun).
  virtual bool StopRequested() { return false; }
};

}  // namespace VendraBuild
