#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "service/faults.h"
#include "service/open_connections.h"
#include "service/request_log.h"
#include "service/send_rate.h"
#include "service/service_context.h"
#include "service/stop_signal.h"

namespace httplib {
class Server;
}

namespace VendraService {

struct ServeOptions {
  std::filesystem::path root;
  std::string host = "127.0.0.1";
  int port = 0;
  std::string tlsCert;  // both empty: plain HTTP
  std::string tlsKey;
  bool faults = false;
  Lifetimes lifetimes;
  uint64_t rateBitsPerSecond = 0;  // 0: as fast as the sockets take it
};

// The HTTP(S) side of the service: reads each POST's multipart form, runs the
// path's handler (or a scripted reply), logs the request and sends the reply.
class HttpFront {
 public:
  explicit HttpFront(const ServeOptions& options);
  ~HttpFront();

  // Binds, writes "listening URL" as the first line of standard output and
  // serves until Stop. The answer is the process exit code.
  int Run();
  // Safe to call from another thread, also before Run has bound.
  void Stop();

 private:
  void Install();
  int Serve();

  ServeOptions options_;
  ServiceContext context_;
  RequestLog log_;
  FaultScript script_;
  StopSignal stop_;
  SendRate rate_;
  OpenConnections open_;
  std::atomic<bool> runEnded_{false};
  std::unique_ptr<httplib::Server> server_;
};

bool IsLoopbackHost(const std::string& host);
bool IsLoopbackAddress(const std::string& address);

}  // namespace VendraService
