#pragma once

namespace VendraClient {

class VAsyncListener;

// A download's listener may also be this, to end the download early: the
// transfer asks it now and then (about once a second even while no byte
// arrives, and with every block), and ends when it answers true; so does a
// pause between attempts. The download then fails with Cancelled, keeping
// what arrived for a later run.
class TransferStopSignal {
 public:
  virtual bool StopRequested() const = 0;

 protected:
  ~TransferStopSignal() = default;
};

// The listener's stop signal, when it has one.
const TransferStopSignal* StopSignalOf(const VAsyncListener* listener);

}  // namespace VendraClient
