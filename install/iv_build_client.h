#pragma once

#include <cstdint>
#include <string>

#include "client/result.h"

namespace VendraJSON {
class VSJObject;
class VSJArray;
}  // namespace VendraJSON

namespace VendraClient {

class VAsync;
class VAsyncListener;
class VBuffer;

// The build client: compressed files, digests, signatures, build file lists
// and the utility installation. Operations stand in their fixed order.
class IVBuildClient {
 public:
  // The vendor's data folder joined with relative, as the service client's
  // GetDataPath; always true.
  virtual bool GetDataPath(const std::u16string& relative, std::u16string& path) = 0;
  // Expands the ".z" file at compressedPath into outputPath, which it replaces
  // only when the expanded length is expectedSize; outputSize is that length,
  // 0 after a failure. Failed or AccessDenied with the reason in error.
  virtual eVClientResult InflateFile(const std::u16string& compressedPath, uint32_t expectedSize,
                                     const std::u16string& outputPath, int32_t& outputSize,
                                     std::u16string& error) = 0;
  // Expands input (a whole ".z" stream) into a new buffer of expectedSize
  // bytes, with one reference for the caller in output.
  virtual eVClientResult InflateBuffer(VBuffer* input, uint32_t expectedSize, VBuffer** output,
                                       std::u16string& error) = 0;
  // Compresses inputPath into the ".z" file outputPath at level (-1 for the
  // default, else 0 to 9). A missing input compresses as empty; inputSize is
  // the bytes read, compressedSize the stream's length (0 after a failure).
  virtual eVClientResult DeflateFile(int32_t level, const std::u16string& inputPath,
                                     int32_t& inputSize, const std::u16string& outputPath,
                                     int32_t& compressedSize, std::u16string& error) = 0;
  // Compresses input at level into a new buffer, with one reference for the
  // caller in output.
  virtual eVClientResult DeflateBuffer(int32_t level, VBuffer* input, VBuffer** output,
                                       std::u16string& error) = 0;
  // Whether the program at path carries a valid code signature by a trusted
  // signer (Authenticode on Windows, the detached ".p7s" beside it elsewhere):
  // Success, or Failed with the reason in error. Blocks while the system
  // checks it.
  virtual eVClientResult VerifySignature(const std::u16string& path, std::u16string& error) = 0;
  // Compresses the files named in names (relative to sourceFolder) into ".z"
  // files below outputFolder, and hands out their file list (names, sizes and
  // SHA-256 of both forms) with one reference for the caller in files. What a
  // publisher's tool calls.
  virtual eVClientResult CompressFiles(const std::u16string& outputFolder,
                                       const std::u16string& sourceFolder,
                                       VendraJSON::VSJArray* names, VendraJSON::VSJArray** files,
                                       std::u16string& error) = 0;
  // A job (one reference for the caller in job) that installs the files of
  // build listed in files from their ".z" copies in downloadFolder into
  // installFolder, one after the other. Nothing runs until the job's Start.
  // InvalidArgument when an argument is missing.
  virtual eVClientResult InstallBuildAsync(VendraJSON::VSJObject* build,
                                           VendraJSON::VSJArray* files,
                                           const std::u16string& downloadFolder,
                                           const std::u16string& installFolder, VAsync** job) = 0;
  // A job (one reference for the caller in job) that runs InstallFile for one
  // file of build. Nothing runs until the job's Start.
  virtual eVClientResult InstallFileAsync(VendraJSON::VSJObject* build,
                                          VendraJSON::VSJObject* file,
                                          const std::u16string& downloadFolder,
                                          const std::u16string& installFolder, VAsync** job) = 0;
  // Installs one file of build: its ".z" copy in downloadFolder is checked
  // against the entry's compressed size and digest, expanded beside its
  // destination ("local_filename", which must lie inside installFolder when
  // that is given), checked again and renamed into place; on any failure the
  // installed file is untouched. VerifyFailed when a size or digest differs.
  // Takes the session lock (LockTimeout after 10 seconds); blocks until done.
  // job and listener are not used.
  virtual eVClientResult InstallFile(VendraJSON::VSJObject* build, VendraJSON::VSJObject* file,
                                     const std::u16string& downloadFolder,
                                     const std::u16string& installFolder, VAsync* job,
                                     VAsyncListener* listener, std::u16string& error) = 0;
  // The entries of files whose file in installFolder is missing or differs
  // from the entry, each a copy with its "local_filename" (and the size and
  // digest found, to spare reading the file again), with one reference for the
  // caller in toInstall. Failed when an entry's name could lead outside
  // installFolder. Reads every file present: blocks for as long as that takes.
  virtual eVClientResult GetFilesToInstall(VendraJSON::VSJArray* files,
                                           const std::u16string& installFolder,
                                           VendraJSON::VSJArray** toInstall,
                                           std::u16string& error) = 0;
  // GetFilesToInstall for the file list of build ("data"."files").
  virtual eVClientResult GetBuildFilesToInstall(VendraJSON::VSJObject* build,
                                                const std::u16string& installFolder,
                                                VendraJSON::VSJArray** toInstall,
                                                std::u16string& error) = 0;
  // Whether the file at path has the entry's size and SHA-256: Success or
  // VerifyFailed. Takes the session lock (LockTimeout after 10 seconds).
  virtual eVClientResult CheckFile(VendraJSON::VSJObject* file, const std::u16string& path,
                                   std::u16string& error) = 0;
  // Whether the utility manifest names is installed in the data folder's
  // "utils" with the manifest's size and SHA-256: Success or VerifyFailed.
  virtual eVClientResult CheckUtilityFile(VendraJSON::VSJObject* manifest,
                                          std::u16string& error) = 0;
  // Whether the utility's ".z" download in "utils" has the manifest's
  // compressed size and SHA-256: Success or VerifyFailed.
  virtual eVClientResult CheckUtilityDownload(VendraJSON::VSJObject* manifest,
                                              std::u16string& error) = 0;
  // Expands the utility's ".z" download into place in "utils", held to the
  // manifest's sizes and digests; a running copy of the program is moved aside
  // first and put back when the new one cannot be placed. Takes the session
  // lock. Check the manifest's publisher signature before calling this.
  virtual eVClientResult InstallUtilityFile(VendraJSON::VSJObject* manifest,
                                            std::u16string& error) = 0;
  // The entries of files (the build's own list when files is null) whose ".z"
  // copy in downloadFolder is missing or differs, each a copy with its
  // "local_compressed_filename", with one reference for the caller in
  // toDownload: what DownloadBuildAsync needs.
  virtual eVClientResult GetFilesToDownload(VendraJSON::VSJObject* build,
                                            VendraJSON::VSJArray* files,
                                            const std::u16string& downloadFolder,
                                            VendraJSON::VSJArray** toDownload,
                                            std::u16string& error) = 0;

 protected:
  // Not deleted through the interface: the program owns its build client.
  ~IVBuildClient() = default;
};

}  // namespace VendraClient
