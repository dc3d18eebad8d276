#pragma once

#include <memory>
#include <string>

#include "async/v_async_base.h"
#include "async/v_async_build_link.h"
#include "json/array.h"

namespace VendraClient {

// What the build-wide jobs share: their step walks a file list and runs one
// single-file job per object element, one after the other, waiting for each
// to end and looking for a stop request at least every 10 ms. The walk stops at the first file that fails, and on a stop
// request to its worker before the next file or while a file is under way;
// a file job it gives up on runs to its own end, unheard.
//
// The listener hears OnStarted and, when every file is done, OnSucceeded.
// A failure ends the job without a notice of its own: the status, the error
// text and, where the kind keeps one, the result object tell it.
class VAsyncBuildWalk : public VAsyncBase {
 public:
  // The owner stops the walk through the worker: Stop or Kill set its stop
  // event, and the job then ends with -5 "Aborted.".
  Wrenfield2::WF2Thread& Worker() override = 0;

 protected:
  // Keeps references to build and files (either may be null).
  VAsyncBuildWalk(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files);
  ~VAsyncBuildWalk() override = default;

  // Each kind's destructor calls this first: a brief stop of the worker, so
  // that the common worker destruction rarely has to wait long.
  void StopWorkerBriefly();

  VendraJSON::VSJObject* Build() const { return build_.get(); }

  // The single-file job for one entry; a non-zero result ends the walk with
  // that code and error text.
  virtual eVClientResult MakeFileJob(VendraJSON::VSJObject* file, VAsync** job,
                                     std::u16string& error) = 0;
  // The listener for that job (one reference). A kind whose listener passes
  // notices on to the build job sets link to the way it does so, for the
  // walk to close once it is done with the file.
  virtual VAsyncListener* MakeFileListener(VendraJSON::VSJObject* file, VAsyncListener* listener,
                                           std::shared_ptr<VAsyncBuildLink>& link) = 0;
  // The file job failed with its final status; a kind may keep what it
  // says. Runs before the job is released.
  virtual void KeepFileFailure(VAsync*) {}

  eVClientResult Perform(VAsyncListener* listener, std::u16string& error) final;
  bool AnnouncesFailure() const final { return false; }

 private:
  eVClientResult RunFile(VendraJSON::VSJObject* file, VAsyncListener* listener,
                         std::u16string& error);

  Vendra::RefPtr<VendraJSON::VSJObject> build_;
  Vendra::RefPtr<VendraJSON::VSJArray> files_;
};

}  // namespace VendraClient
