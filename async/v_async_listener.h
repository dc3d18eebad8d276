#pragma once

#include <cstdint>

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

class VAsync;

// Hears a job's progress. Calls arrive on worker threads (the job's own, or
// the thread that called a blocking download with the listener). A download
// holds the session lock while it runs, so a listener returns quickly, does
// not wait for the job it hears, and hands anything slow (drawing, a
// window) to a thread of its own. OnProgress takes over the progress
// object's reference.
class VAsyncListener {
 public:
  // Adds a reference; the job holds one while it runs.
  virtual int AddRef() = 0;
  // Drops a reference; the listener decides what the last one does.
  virtual int Release() = 0;
  // The job's worker has begun, before any progress.
  virtual void OnStarted(VAsync* job) = 0;
  // One step of progress: a download sends "filename", "received_chunk" and
  // "received_total" per block (and, in a build download, "total_size"),
  // and a "note" before it tries again. The listener owns the one reference
  // of progress and must release it.
  virtual void OnProgress(VAsync* job, VendraJSON::VSJObject* progress) = 0;
  // The operation succeeded (code 0, text null); the job's status is already
  // final, and the owner may have seen it and released the job.
  virtual void OnSucceeded(VAsync* job, int32_t code, const char16_t* text) = 0;
  // The operation failed with code and its text (valid for the call only);
  // the job's status, error text and result are already final. A build-wide
  // job is different: a build download passes on a failing file's OnFailed
  // while its own status is still Running, a build install passes on
  // nothing, and neither announces its own end: wait for its status.
  virtual void OnFailed(VAsync* job, int32_t code, const char16_t* text) = 0;

 protected:
  // Not deleted directly: Release ends a listener.
  virtual ~VAsyncListener() = default;
};

}  // namespace VendraClient
