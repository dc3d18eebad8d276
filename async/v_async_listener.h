#pragma once

#include <cstdint>

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

class VAsync;

// Hears a job's progress. Calls arrive on worker threads. OnProgress takes
// over the progress object's reference.
class VAsyncListener {
 public:
  virtual int AddRef() = 0;
  virtual int Release() = 0;
  virtual void OnStarted(VAsync* job) = 0;
  virtual void OnProgress(VAsync* job, VendraJSON::VSJObject* progress) = 0;
  virtual void OnSucceeded(VAsync* job, int32_t code, const char16_t* text) = 0;
  virtual void OnFailed(VAsync* job, int32_t code, const char16_t* text) = 0;

 protected:
  virtual ~VAsyncListener() = default;
};

}  // namespace VendraClient
