#pragma once

#include <cstdint>
#include <string>

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

class VAsyncListener;

// A counted job that runs one operation on a worker thread. Operations stand
// in their fixed order; the job kinds implement them.
class VAsync {
 public:
  // Adds a reference; answers the new count. Safe from any thread.
  virtual int AddRef() = 0;
  // Drops a reference; the last one destroys the job (a running job holds its
  // own until its worker ends, so an owner may release it at any time).
  // Answers the remaining count; a surplus Release answers 0 and frees nothing.
  virtual int Release() = 0;
  // Starts the operation on a worker thread of its own and answers at once:
  // Running (2), InvalidArgument without a listener, or Failed for a job
  // already started or a thread that could not be made. The job keeps a
  // reference to listener until it ends.
  virtual int32_t Start(VAsyncListener* listener) = 0;
  // NotSupported: a running job runs on and ends normally. A download is ended
  // early by a listener that is a TransferStopSignal.
  virtual int32_t Abort() = 0;
  // Created (1) before Start, Running (2) while the worker runs, then Success
  // (0) or the operation's failure code. Once the status has left Running, the
  // error text and the result are final.
  virtual int32_t GetStatus() = 0;
  // Hands out the result object (one reference for the caller; null when the
  // kind leaves none) and answers the status.
  virtual int32_t GetResult(VendraJSON::VSJObject** result) = 0;
  // The failure's text (empty while running or after success); answers the
  // status.
  virtual int32_t GetErrorText(std::u16string& text) = 0;

 protected:
  // Not deleted directly: Release ends a job.
  virtual ~VAsync() = default;
};

}  // namespace VendraClient
