#pragma once

#include <mutex>
#include <vector>

namespace VendraClient {

// libcurl handles kept between requests, each with the connections it
// opened, so that the next request to the service goes over a connection
// that is already up (no new TCP and TLS handshake per file). A handle is
// used by one transfer at a time; several transfers in flight each take
// their own. Safe to use from any thread.
class ConnectionPool {
 public:
  // libcurl's easy handle (CURL*), kept opaque so that this header, which
  // the client's own header includes, brings in no system headers.
  using Handle = void*;

  ConnectionPool() = default;
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // An idle handle, or a new one; nullptr when libcurl cannot make one.
  Handle Take();
  // Takes a handle back: its options are cleared, its connections kept. A
  // pool that already holds enough idle handles closes it instead.
  void Give(Handle handle);

 private:
  std::mutex guard_;
  std::vector<Handle> idle_;
};

}  // namespace VendraClient
