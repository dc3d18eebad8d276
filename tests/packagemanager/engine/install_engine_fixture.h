#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/program_run.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {

// A build's files by their names in the build (backslashes), with content.
using Files = std::map<std::string, std::string>;

// Two versions of a product: the second changes, adds and drops files.
Files VersionOne();
Files VersionTwo();
// VersionTwo with edits inside the large files instead of new content: an
// insertion, an overwrite and a deletion.
Files EditedTwo();
// VersionOne with the same 1 MiB of new bytes inserted into both large
// files: chunks of the update that two files share.
Files SharedInsertTwo();

// A product folder and download cache on a machine of its own; the service
// with fault injection and a signed-in session; VendraBuild run as a child
// process that a test may kill at any moment. Its temporary folder is one of
// the test's, so that leftovers show.
class InstallEngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Publish(const std::string& version, const Files& files);
  // Publish, with every file's chunk list, the chunks stored in the
  // product's packs as the publisher stores them.
  void PublishChunked(const std::string& version, const Files& files);
  // VendraBuild installing tdy live VERSION into the folder; its output
  // goes to the log.
  std::unique_ptr<RunningProgram> Start(const std::string& version);
  int Run(const std::string& version) { return Start(version)->Wait(); }
  // One of VendraBuild's other commands: its standard output and error, and
  // its exit code in lastExit_.
  std::string Command(const std::vector<std::string>& words);
  int lastExit_ = 0;

  // Every file in the folder is whole: one of the two versions' content for
  // its name. Anything else (a partial file under a final name, a file of
  // neither version) is described.
  std::string Mixed(const Files& earlier, const Files& later) const;
  // A run killed while it writes the record leaves the record's new copy
  // beside it (the next run removes it): allowed right after a kill, never
  // after a finished run.
  enum class RecordCopies { Refused, Allowed };
  bool Holds(const Files& files, RecordCopies copies = RecordCopies::Refused) const;
  // The folder's entries with their sizes, for failure messages.
  std::string Listing() const;
  nlohmann::json Record() const;
  std::string Log() const { return ReadTextFile(log_); }
  // The new files in the folder not renamed into place, by their names
  // inside it ('/'-separated).
  std::string Unplaced() const;
  // Every download slowed to small steps, so that a run takes long enough
  // to be cut at many points.
  void SlowDownloads(int count);
  // An uninstall entry KEY naming folder, of the vendor unless publisher
  // says otherwise.
  void Register(const std::string& key, const std::string& folder,
                const std::u16string& publisher = u"");
  // The files below the download cache's folder sub ('/'-separated), by
  // name with their sizes; empty when there is no such folder.
  std::map<std::string, uintmax_t> CacheFiles(const std::string& sub) const;
  // The pack ranges asked for from the request log's line from on.
  struct PackPiece {
    std::string pack;
    uint64_t first = 0;
    uint64_t last = 0;
    size_t line = 0;
    bool scripted = false;
  };
  std::vector<PackPiece> PackPieces(size_t from) const;

  TempFolder machine_;
  TempFolder serviceRoot_;
  TempFolder folders_;
  TempFolder temp_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::string folder_;
  std::string log_ = folders_.Sub("run.log");
  std::string cache_ = machine_.path() + "/ProgramData/Vendra Software/downloads";

 private:
  // The temporary-folder variables as they were before the test.
  std::vector<std::pair<const char*, std::string>> savedTemp_;
};

}  // namespace VendraTest
