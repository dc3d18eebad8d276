#pragma once

#include <cstdint>
#include <string>

#include "client/curl_writer.h"
#include "client/result.h"
#include "platform/new_file.h"

namespace VendraClient {

class VAsync;
class VAsyncListener;

// Streams a download into a temporary file and moves it onto the target only
// when the whole transfer succeeded; one progress object per block goes to
// the listener. On any failure the temporary file is removed and the target
// stays as it was.
class VClient_CurlWriter_File final : public VClient_CurlWriter {
 public:
  VClient_CurlWriter_File(VAsync* context, VAsyncListener* listener);
  ~VClient_CurlWriter_File() override;
  VClient_CurlWriter_File(const VClient_CurlWriter_File&) = delete;
  VClient_CurlWriter_File& operator=(const VClient_CurlWriter_File&) = delete;

  // Creates the target's folders and a new temporary file beside the target
  // (the target itself is not touched until the transfer succeeded). The
  // target must stay inside within (its own folder when within is empty).
  // False with "Failed to open file %ls for writing (err=%d)".
  bool Open(const std::u16string& target, const std::u16string& within, std::u16string& error);
  size_t Write(const char* data, size_t size, size_t count) override;
  // After the transfer: moves the temporary file into place on success, or
  // takes the service's "error" text from it and removes both files.
  eVClientResult Finish(eVClientResult code, uint32_t httpStatus, std::u16string& error);
  void Close();

 private:
  VendraPlatform::NewFile file_;
  std::u16string targetPath_;
  std::u16string tempPath_;
  VAsync* context_;
  VAsyncListener* listener_;
  uint32_t total_ = 0;
  // A block that did not reach the disk whole: the transfer was stopped.
  uint32_t writeError_ = 0;
};

}  // namespace VendraClient
