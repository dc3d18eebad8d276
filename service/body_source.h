#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <httplib.h>

#include "service/exchange.h"
#include "service/send_rate.h"
#include "service/stop_signal.h"

namespace VendraService {

// How a reply body is delivered when a test scripted it: cut off after some
// bytes, slowly in small steps, or repeated to a length far beyond the body
// (an endless reply, produced as it is sent, never held whole).
struct BodyShaping {
  std::optional<uint64_t> closeAfter;
  uint64_t chunkSize = 0;
  int64_t chunkDelayMs = 0;
  std::optional<uint64_t> repeatTo;
};

// Feeds a reply body to the HTTP library block by block, from memory or from
// a file on disk, so that a large download never sits in memory whole.
class BodySource {
 public:
  // rate holds the sending to the server's rate when it is limited.
  BodySource(const ServiceReply& reply, BodyShaping shaping, SendRate& rate, StopSignal& stop);
  // Serves only length bytes from first on (a range request); the shaping's
  // closeAfter counts the bytes of this reply.
  void Restrict(uint64_t first, uint64_t length);
  ~BodySource();
  BodySource(const BodySource&) = delete;
  BodySource& operator=(const BodySource&) = delete;

  bool IsReady() const;
  uint64_t Size() const { return size_; }
  // The HTTP library's content provider: false ends the connection.
  bool Provide(size_t offset, size_t length, httplib::DataSink& sink);

 private:
  // Copies step bytes of the body from position on into buffer_ (wrapping
  // round the body when it is repeated); false when the file cannot give them.
  bool Fill(uint64_t position, size_t step);

  std::string memory_;
  bool fromFile_ = false;
  int fd_ = -1;
  uint64_t first_ = 0;
  uint64_t size_ = 0;
  uint64_t bodySize_ = 0;  // of one copy of the body
  BodyShaping shaping_;
  SendRate& rate_;
  StopSignal& stop_;
  std::vector<char> buffer_;
};

}  // namespace VendraService
