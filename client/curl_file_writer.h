#pragma once

#include <cstdint>
#include <string>

#include "client/curl_writer.h"
#include "client/result.h"
#include "install/sha256.h"
#include "platform/files.h"

namespace VendraClient {

class VAsync;
class VAsyncListener;
class TransferStopSignal;

// Streams one attempt at a download into the partial file beside the target
// (the target's name + ".partial") and moves it onto the target only when
// the whole file has arrived. A partial file left by an earlier attempt is
// continued when it belongs to the file asked for now (see
// client/partial_record.h): ResumeFrom says from which byte to ask, and a
// 206 reply is appended to it. A 200 reply (the server ignored the range)
// starts it over. The target is never touched before the move. One progress
// object per block goes to the listener, counting the bytes of the whole
// file. The file's SHA-256 is taken as the bytes arrive (a continued file's
// earlier bytes are read once, when it is opened), so that a file checked
// here need not be read back to be checked. A download stops as soon as it
// passes its expected size, or the ceiling of downloads of unknown size
// (TransportLimits), and nothing past it is kept. A listener that is also a
// TransferStopSignal can end the transfer.
class VClient_CurlWriter_File final : public VClient_CurlWriter {
 public:
  VClient_CurlWriter_File(VAsync* context, VAsyncListener* listener);
  ~VClient_CurlWriter_File() override;
  VClient_CurlWriter_File(const VClient_CurlWriter_File&) = delete;
  VClient_CurlWriter_File& operator=(const VClient_CurlWriter_File&) = delete;

  // What the whole file must be, told before Open. The expected size (0:
  // unknown): a download that passes it is stopped, one of another size is
  // refused instead of moved into place.
  void ExpectSize(uint64_t size) { expectedSize_ = size; }
  // The SHA-256 the whole file must have (hexadecimal, either case), when the
  // caller knows it: a download with another digest is refused and
  // discarded.
  void ExpectDigest(const std::string& sha256);
  // Creates the target's folders (none reached through a link that leads
  // outside within, when within is given) and opens the partial file without
  // following a link. The bytes it holds are kept when its record says it is
  // the file expected now, or when ownPartial says an earlier attempt of
  // this same download left it; otherwise it starts empty. False with
  // "Failed to open file %ls for writing (err=%d)" or "Refused to write %ls:
  // ...".
  bool Open(const std::u16string& target, const std::u16string& within, std::u16string& error,
            bool ownPartial = false);
  // The bytes already there: the range to ask for starts here.
  uint64_t ResumeFrom() const { return kept_; }

  void OnReplyStatus(uint32_t status) override;
  size_t Write(const char* data, size_t size, size_t count) override;
  bool StopRequested() const override;
  // After the transfer: moves the partial file into place on success ("Failed
  // to move temporary file to %ls. GetLastError=%d", Failed, when the move
  // fails). On a failure the bytes of a 2xx reply stay in the partial file for
  // the next attempt; the text of an error reply (its "error" member) becomes
  // the error. A 416 reply, a wrong size or a wrong digest discards the
  // partial file ("Wrong download of PATH: expected N bytes with SHA-256 X,
  // received M bytes with SHA-256 Y; it was discarded"), and so does a
  // download that passed its size (VerifyFailed, "Wrong download of
  // PATH: it passed the N bytes expected (M bytes received); it was
  // discarded").
  eVClientResult Finish(eVClientResult code, uint32_t httpStatus, std::u16string& error);
  // The partial file, with what is kept of it.
  const std::u16string& PartialPath() const { return partialPath_; }
  uint64_t BytesHeld() const { return kept_ + received_; }

 private:
  void DiscardPartial();
  // The size the download may not pass: the expected one, else the ceiling.
  uint64_t Bound() const { return expectedSize_ != 0 ? expectedSize_ : largestUnsized_; }
  // Starts the digest over, then takes in the bytes the partial file holds.
  void RestartDigest();

  VendraPlatform::File partial_;
  std::u16string targetPath_;
  std::u16string partialPath_;
  std::u16string recordPath_;
  VAsync* context_;
  VAsyncListener* listener_;
  const TransferStopSignal* stop_;
  Sha256State digest_;
  std::string expectedDigest_;  // in either letter case; empty: not checked
  // The partial file's earlier bytes could not be read back for the digest.
  bool digestUnknown_ = false;
  uint64_t kept_ = 0;      // bytes of the partial file from earlier attempts
  uint64_t received_ = 0;  // bytes this attempt added
  uint64_t expectedSize_ = 0;
  uint64_t largestUnsized_;
  // Bytes of the block that passed the bound, counted with those held: the
  // transfer was stopped for it.
  uint64_t passedAt_ = 0;
  uint32_t status_ = 0;
  // The body of a reply that is not 2xx, kept in memory for its text.
  std::string errorBody_;
  // A block that did not reach the disk whole: the transfer was stopped.
  uint32_t writeError_ = 0;
};

}  // namespace VendraClient
