#include "install/package_manager_installation.h"

#include <atomic>
#include <chrono>

#include "async/v_async.h"
#include "async/v_async_listener.h"
#include "client/transfer_stop.h"
#include "client/transport_limits.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "json/object.h"
#include "platform/paths.h"
#include "platform/thread.h"

namespace VendraClient {
namespace {

constexpr char kUtilityName[] = "vendrabuild";
constexpr uint32_t kPollMs = 10;
// A service that keeps renewing tokens that are refused at once would
// otherwise keep the installer downloading for ever.
constexpr int kMostSignInRounds = 3;

// The download's listener: nothing it hears needs an answer, and it ends the
// download when the wait for it is over. It lives on the heap and goes with
// its last reference, because the job's worker lets go of it only after the
// waiting procedure has seen the outcome and may have returned.
class VAsyncListener_DownloadUtility final : public VAsyncListener, public TransferStopSignal {
 public:
  int AddRef() override { return ++references_; }
  int Release() override {
    const int left = --references_;
    if (left == 0) delete this;
    return left;
  }
  void OnStarted(VAsync*) override {}
  void OnProgress(VAsync*, VendraJSON::VSJObject* progress) override {
    if (progress) progress->Release();
  }
  void OnSucceeded(VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VAsync*, int32_t, const char16_t*) override {}
  bool StopRequested() const override { return stop_; }
  void Stop() { stop_ = true; }

 private:
  std::atomic<int> references_{1};
  std::atomic<bool> stop_{false};
};

}  // namespace

eVClientResult PackageManagerInstallation::DownloadUtility(VendraJSON::VSJObject* manifest,
                                                           std::u16string& error) {
  const auto listener = Vendra::RefPtr<VAsyncListener_DownloadUtility>::Adopt(
      new VAsyncListener_DownloadUtility());
  // One bound on the whole wait, sign-in rounds and retries included.
  const long waitSeconds = CurrentTransportLimits().utilityWaitSeconds;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  for (int round = 0;; ++round) {
    if (buildClient_.CheckUtilityDownload(manifest, error) == eVClientResult::Success)
      return eVClientResult::Success;

    Vendra::RefPtr<VAsync> job;
    const eVClientResult made = client_.DownloadUtilityAsync(manifest, job.Receive(), error);
    if (!job) return made;
    const int32_t started = job->Start(listener.get());
    if (started != ToInt(eVClientResult::Running)) return FromInt(started);
    int32_t status = job->GetStatus();
    while (status == ToInt(eVClientResult::Running)) {
      // The download ends within about a second of being told; its worker
      // uses the client, so the wait goes on until it has.
      if (std::chrono::steady_clock::now() >= deadline) listener->Stop();
      VendraPlatform::SleepMilliseconds(kPollMs);
      status = job->GetStatus();
    }
    if (status == ToInt(eVClientResult::Success)) return eVClientResult::Success;
    if (listener->StopRequested()) {
      error = VendraText::Format(
          u"The package manager's download did not finish within %d seconds and was stopped",
          static_cast<int>(waitSeconds));
      return eVClientResult::TransferTimedOut;
    }

    job->GetErrorText(error);
    const eVClientResult code = FromInt(status);
    if (code != eVClientResult::AccessTokenRequired || round + 1 >= kMostSignInRounds) return code;
    error.clear();
    if (client_.RefreshToken(error) != eVClientResult::Success) {
      error.clear();
      const eVClientResult signedIn = client_.ShowLoginWindow(error);
      if (signedIn != eVClientResult::Success) return signedIn;
    }
  }
}

eVClientResult PackageManagerInstallation::EnsurePackageManager(std::u16string& error) {
  if (utilityReady_) return eVClientResult::Success;
  Vendra::RefPtr<VendraJSON::VSJObject> manifest;
  const eVClientResult asked = client_.GetUtilityManifest(kUtilityName, manifest.Receive(), error);
  if (asked != eVClientResult::Success) return asked;
  if (!manifest) {
    error = u"GetUtilityManifest failed for VendraBuild";
    return eVClientResult::Failed;
  }
  if (!check_) {
    error = u"The package manager is not installed: nothing was given to check its manifest with";
    return eVClientResult::InvalidArgument;
  }
  if (const eVClientResult checked = check_(manifest.get(), error);
      checked != eVClientResult::Success)
    return checked;
  std::u16string fileName;
  if (!programFile_.empty() &&
      (!manifest->GetString(u"filename", fileName) ||
       !VendraPlatform::SameFileName(fileName, programFile_))) {
    error = VendraText::Format(u"Refused the package manager \"%ls\": the installer starts %ls",
                               fileName, programFile_);
    return eVClientResult::Failed;
  }
  if (buildClient_.CheckUtilityFile(manifest.get(), error) != eVClientResult::Success) {
    if (const eVClientResult downloaded = DownloadUtility(manifest.get(), error);
        downloaded != eVClientResult::Success)
      return downloaded;
    if (const eVClientResult installed = buildClient_.InstallUtilityFile(manifest.get(), error);
        installed != eVClientResult::Success)
      return installed;
  }
  utilityReady_ = true;
  return eVClientResult::Success;
}

}  // namespace VendraClient
