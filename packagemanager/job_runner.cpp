#include "packagemanager/job_runner.h"

#include <cstdio>
#include <map>
#include <string>

#include "async/v_async_listeners.h"
#include "common/text/terminal_text.h"
#include "common/memory/ref_ptr.h"
#include "json/array.h"
#include "json/object.h"
#include "json/type_names.h"
#include "json/value_container.h"
#include "platform/thread.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;

constexpr uint32_t kPollMs = 10;
// A line at least every this many bytes, so a large file shows it is moving.
constexpr int64_t kReportEveryBytes = 4 << 20;

// Prints how far each file of a build has come. Notices arrive on the file
// jobs' workers, one file after the other.
class ProgressPrinter final : public VendraClient::VAsyncListenerCounted {
 public:
  // Progress names the local ".z" file; files maps those names back to
  // the build's own names.
  explicit ProgressPrinter(const VendraJSON::VSJArray* files) {
    for (size_t i = 0; files && i < files->Count(); ++i) {
      Vendra::RefPtr<VendraJSON::VSJValue> value;
      if (!files->At(i)->GetValue(value.Receive()) || value->GetType() != VendraJSON::kTypeObject)
        continue;
      const auto* entry = static_cast<const VendraJSON::VSJObject*>(value.get());
      std::string local;
      std::string name;
      entry->GetStringA(u"local_compressed_filename", local);
      entry->GetStringA(u"filename", name);
      names_[local] = name;
    }
  }

  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync*, VendraJSON::VSJObject* progress) override {
    auto held = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(progress);
    std::string name;
    int64_t received = 0;
    int64_t size = 0;
    held->GetStringA(u"filename", name);
    held->GetInteger(u"received_total", received);
    held->GetInteger(u"total_size", size);
    if (name != file_) {
      file_ = name;
      reported_ = 0;
    }
    if (size > 0 && received >= size) {
      std::printf("  downloaded %s\n", VendraText::ShownOnTerminal(Leaf(name)).c_str());
    } else if (received - reported_ >= kReportEveryBytes) {
      reported_ = received;
      std::printf("  %s: %lld of %lld bytes\n", VendraText::ShownOnTerminal(Leaf(name)).c_str(),
                  static_cast<long long>(received), static_cast<long long>(size));
    } else {
      return;
    }
    std::fflush(stdout);
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VendraClient::VAsync*, int32_t, const char16_t*) override {}

 private:
  std::string Leaf(const std::string& path) const {
    const auto found = names_.find(path);
    return found == names_.end() ? path : found->second;
  }

  std::map<std::string, std::string> names_;
  std::string file_;
  int64_t reported_ = 0;
};

}  // namespace

eVClientResult RunBuildJob(VendraClient::VAsync* job, const VendraJSON::VSJArray* files,
                           std::u16string& error) {
  auto held = Vendra::RefPtr<VendraClient::VAsync>::Adopt(job);
  auto listener = Vendra::RefPtr<ProgressPrinter>::Adopt(new ProgressPrinter(files));
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
