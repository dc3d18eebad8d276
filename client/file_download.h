#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "client/named_mutex_lock.h"
#include "client/result.h"
#include "client/transfer.h"

namespace VendraClient {

class VAsync;
class VAsyncListener;

// Makes one attempt's request ready: takes the guards it needs (a lock held
// until the attempt ends) and fills in the transfer's path and fields.
using DownloadPreparation = std::function<eVClientResult(
    std::optional<NamedMutexLockGuard>& lock, VClientTransfer& transfer, std::u16string& error)>;

// What the whole downloaded file must be, as far as the caller knows: its
// size (0: any) and its SHA-256 (empty: any).
struct ExpectedDownload {
  // From a size alone, as most callers know only that.
  ExpectedDownload(uint64_t wholeSize = 0, std::string digest = {})
      : size(wholeSize), sha256(std::move(digest)) {}
  uint64_t size;
  std::string sha256;
  // Set: the file is the size bytes of the requested body from byte `from`
  // on (a piece of a larger file, asked for by range); size must be known.
  bool ranged = false;
  uint64_t from = 0;
};

// Downloads into destination through the file writer, continuing a partial
// file left by an earlier attempt, or by an earlier run when its record says
// it is the file expected now, with a range request. Transient failures (no
// connection, a cut, stalled or crawling transfer, a 5xx reply, a range the
// service will not serve) are tried again a few times with growing pauses,
// each attempt continuing from the bytes already there; the final text says
// what happened and what was tried. No folder on the way to destination may
// lead outside within (when given). A file that is not what expected says,
// or passes its size (or the ceiling of TransportLimits when the size is not
// known), is refused and discarded (its digest is taken as it arrives); when
// some of its bytes were continued from, it is started over once, at once. The listener hears the progress of every attempt, and a
// progress object with a "note" before each retry; a listener that is a
// TransferStopSignal ends the download, even during a pause (Cancelled).
eVClientResult DownloadWithRetries(const DownloadPreparation& prepare,
                                   const std::u16string& destination,
                                   const std::u16string& within, const ExpectedDownload& expected,
                                   VAsync* job, VAsyncListener* listener, std::u16string& error);

}  // namespace VendraClient
