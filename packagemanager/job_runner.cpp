#include "packagemanager/job_runner.h"

#include <cstdio>

#include "async/v_async_listeners.h"
#include "common/memory/ref_ptr.h"
#include "json/object.h"
#include "platform/thread.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;

constexpr uint32_t kPollMs = 10;
// A line at least every this many bytes, so a large file shows it is moving.
constexpr int64_t kReportEveryBytes = 4 << 20;

// Prints how far a download has come; notifications arrive on the worker.
class ProgressPrinter final : public VendraClient::VAsyncListenerCounted {
 public:
  ProgressPrinter(std::string label, uint64_t expected)
      : label_(std::move(label)), expected_(expected) {}

  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync*, VendraJSON::VSJObject* progress) override {
    int64_t total = 0;
    progress->GetInteger(u"received_total", total);
    progress->Release();
    if (total - reported_ < kReportEveryBytes) return;
    reported_ = total;
    Print(total);
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VendraClient::VAsync*, int32_t, const char16_t*) override {}

 private:
  void Print(int64_t total) {
    if (expected_ > 0)
      std::printf("  %s: %lld of %llu bytes\n", label_.c_str(), static_cast<long long>(total),
                  static_cast<unsigned long long>(expected_));
    else
      std::printf("  %s: %lld bytes\n", label_.c_str(), static_cast<long long>(total));
    std::fflush(stdout);
  }

  std::string label_;
  uint64_t expected_;
  int64_t reported_ = 0;
};

}  // namespace

eVClientResult RunJob(VendraClient::VAsync* job, const std::string& label, uint64_t expectedBytes,
                      std::u16string& error) {
  auto held = Vendra::RefPtr<VendraClient::VAsync>::Adopt(job);
  auto listener = Vendra::RefPtr<ProgressPrinter>::Adopt(new ProgressPrinter(label, expectedBytes));
  const int32_t started = held->Start(listener.get());
  if (started != VendraClient::ToInt(eVClientResult::Running)) {
    error = u"The worker thread could not be started";
    return VendraClient::FromInt(started);
  }
  int32_t status = held->GetStatus();
  while (status == VendraClient::ToInt(eVClientResult::Running)) {
    VendraPlatform::SleepMilliseconds(kPollMs);
    status = held->GetStatus();
  }
  if (status != VendraClient::ToInt(eVClientResult::Success)) held->GetErrorText(error);
  return VendraClient::FromInt(status);
}

}  // namespace VendraBuild
