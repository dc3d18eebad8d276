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
  virtual int AddRef() = 0;
  virtual int Release() = 0;
  virtual int32_t Start(VAsyncListener* listener) = 0;
  virtual int32_t Abort() = 0;
  virtual int32_t GetStatus() = 0;
  virtual int32_t GetResult(VendraJSON::VSJObject** result) = 0;
  virtual int32_t GetErrorText(std::u16string& text) = 0;

 protected:
  virtual ~VAsync() = default;
};

}  // namespace VendraClient
