#include "async/v_async_install_file.h"

#include <utility>

namespace VendraClient {

VAsync_InstallFile::VAsync_InstallFile(IVBuildClient* buildClient, VendraJSON::VSJObject* build,
                                       VendraJSON::VSJObject* file, std::u16string downloadPath,
                                       std::u16string installPath)
    : buildClient_(buildClient),
      build_(Vendra::RefPtr<VendraJSON::VSJObject>::Share(build)),
      file_(Vendra::RefPtr<VendraJSON::VSJObject>::Share(file)),
      downloadPath_(std::move(downloadPath)),
      installPath_(std::move(installPath)) {}

eVClientResult VAsync_InstallFile::Perform(VAsyncListener* listener, std::u16string& error) {
  return buildClient_->InstallFile(build_.get(), file_.get(), downloadPath_, installPath_, this,
                                   listener, error);
}

VendraJSON::VSJObject* VAsync_InstallFile::MakeFailureResult() {
  VendraJSON::VSJObject* result = VendraJSON::VSJObject::Create();
  result->Set(u"build", build_.get());
  result->Set(u"file", file_.get());
  result->SetString(u"download_path", std::u16string_view(downloadPath_));
  result->SetString(u"install_path", std::u16string_view(installPath_));
  return result;
}

}  // namespace VendraClient
