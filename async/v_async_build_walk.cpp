#include "async/v_async_build_walk.h"

#include "json/object.h"
#include "json/value_container.h"

namespace VendraClient {

namespace {

// How long destruction lets the worker end before the common, longer wait.
constexpr uint32_t kBriefStopMs = 250;
// The longest wait for a file job before the walk looks for a stop request.
constexpr uint32_t kFilePollMs = 10;

constexpr char16_t kAborted[] = u"Aborted.";

eVClientResult Aborted(std::u16string& error) {
  error = kAborted;
  return eVClientResult::Cancelled;
}

// The element at index as an object with a reference of its own, or none.
Vendra::RefPtr<VendraJSON::VSJObject> ObjectAt(const VendraJSON::VSJArray& list, size_t index) {
  VendraJSON::VSJValue* value = list.At(index)->Value();
  if (!value || value->Kind() != VendraJSON::kTypeObject) return {};
  return Vendra::RefPtr<VendraJSON::VSJObject>::Share(static_cast<VendraJSON::VSJObject*>(value));
}

}  // namespace

VAsyncBuildWalk::VAsyncBuildWalk(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files)
    : build_(Vendra::RefPtr<VendraJSON::VSJObject>::Share(build)),
      files_(Vendra::RefPtr<VendraJSON::VSJArray>::Share(files)) {}

void VAsyncBuildWalk::StopWorkerBriefly() {
  Wrenfield2::WF2Thread& worker = Worker();
  // The worker dropped the last reference itself: it cannot wait for its own
  // end, and returns as soon as this destruction is over.
  if (worker.IsCurrentThread()) return;
  if (!worker.Stop(kBriefStopMs)) worker.Kill(0);
}

eVClientResult VAsyncBuildWalk::Perform(VAsyncListener* listener, std::u16string& error) {
  if (!files_) return eVClientResult::Success;
  // The count is read for every element: the list may grow at its end.
  for (size_t index = 0; index < files_->Count(); ++index) {
    if (!Worker().KeepRunning()) return Aborted(error);
    Vendra::RefPtr<VendraJSON::VSJObject> file = ObjectAt(*files_, index);
    if (!file) continue;
    const eVClientResult code = RunFile(file.get(), listener, error);
    if (code != eVClientResult::Success) return code;
  }
  return eVClientResult::Success;
}

eVClientResult VAsyncBuildWalk::RunFile(VendraJSON::VSJObject* file, VAsyncListener* listener,
                                        std::u16string& error) {
  Vendra::RefPtr<VAsync> job;
  std::u16string makeError;
  if (const eVClientResult made = MakeFileJob(file, job.Receive(), makeError);
      made != eVClientResult::Success) {
    error = makeError;
    return made;
  }
  std::shared_ptr<VAsyncBuildLink> link;
  auto fileListener = Vendra::RefPtr<VAsyncListener>::Adopt(MakeFileListener(file, listener, link));
  // A job that cannot start keeps its status 1, which the walk then reports.
  job->Start(fileListener.get());

  Wrenfield2::WF2Thread& worker = Worker();
  // The client's own jobs wake the walk as they end; another kind is looked
  // at in steps.
  auto* ownKind = dynamic_cast<VAsyncBase*>(job.get());
  while (job->GetStatus() == ToInt(eVClientResult::Running)) {
    if (!worker.KeepRunning()) {
      job->Abort();
      if (link) link->Close(false, worker);
      return Aborted(error);
    }
    if (ownKind) ownKind->AwaitEnd(kFilePollMs);
    else worker.SleepUnlessStopped(kFilePollMs);
  }
  // A job that ran has its last notice on the way (or delivered); one that
  // never started has none to give.
  const bool ran = job->GetStatus() != ToInt(eVClientResult::Created);
  if (link) link->Close(ran, worker);
  fileListener.Reset();

  std::u16string fileError;
  const int32_t status = job->GetErrorText(fileError);
  if (status == ToInt(eVClientResult::Success)) return eVClientResult::Success;
  error = fileError;
  KeepFileFailure(job.get());
  return FromInt(status);
}

}  // namespace VendraClient
