#include "service/body_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace VendraService {

namespace {
constexpr size_t kBlockSize = 256 * 1024;
}

BodySource::BodySource(const ServiceReply& reply, BodyShaping shaping, SendRate& rate,
                       StopSignal& stop)
    : shaping_(shaping), rate_(rate), stop_(stop) {
  if (reply.filePath.empty()) {
    memory_ = reply.body;
    size_ = memory_.size();
  } else {
    fromFile_ = true;
    fd_ = ::open(reply.filePath.c_str(), O_RDONLY | O_CLOEXEC);
    size_ = reply.fileSize;
    buffer_.resize(kBlockSize);
  }
  bodySize_ = size_;
  if (shaping_.repeatTo && bodySize_ != 0) size_ = *shaping_.repeatTo;
}

BodySource::~BodySource() {
  if (fd_ >= 0) ::close(fd_);
}

bool BodySource::IsReady() const { return !fromFile_ || fd_ >= 0; }

void BodySource::Restrict(uint64_t first, uint64_t length) {
  first_ = first;
  size_ = length;
}

bool BodySource::Provide(size_t offset, size_t length, httplib::DataSink& sink) {
  if (stop_.Raised()) return false;
  size_t step = std::min(length, shaping_.chunkSize != 0 ? shaping_.chunkSize : kBlockSize);
  if (rate_.Limited()) step = std::min(step, rate_.Step());
  if (shaping_.closeAfter) {
    if (offset >= *shaping_.closeAfter) return false;
    step = std::min<size_t>(step, *shaping_.closeAfter - offset);
  }
  const char* data = nullptr;
  if (fd_ < 0 && !shaping_.repeatTo) {
    data = memory_.data() + first_ + offset;
  } else {
    if (!Fill(first_ + offset, step)) return false;
    data = buffer_.data();
  }
  if (!rate_.Take(step, stop_) || !sink.write(data, step)) return false;
  if (shaping_.closeAfter && offset + step >= *shaping_.closeAfter) return false;
  if (shaping_.chunkDelayMs > 0 &&
      stop_.WaitFor(std::chrono::milliseconds(shaping_.chunkDelayMs))) {
    return false;
  }
  return true;
}

bool BodySource::Fill(uint64_t position, size_t step) {
  if (buffer_.size() < step) buffer_.resize(step);
  size_t done = 0;
  while (done < step) {
    const uint64_t at = (position + done) % bodySize_;
    const size_t run = static_cast<size_t>(std::min<uint64_t>(step - done, bodySize_ - at));
    if (fd_ < 0) {
      std::memcpy(buffer_.data() + done, memory_.data() + at, run);
      done += run;
      continue;
    }
    const ssize_t got = ::pread(fd_, buffer_.data() + done, run, static_cast<off_t>(at));
    if (got <= 0) return false;  // the file shrank or broke under us
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace VendraService
