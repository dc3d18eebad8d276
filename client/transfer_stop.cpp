#include "client/transfer_stop.h"

#include "async/v_async_listener.h"

namespace VendraClient {

const TransferStopSignal* StopSignalOf(const VAsyncListener* listener) {
  return dynamic_cast<const TransferStopSignal*>(listener);
}

}  // namespace VendraClient
