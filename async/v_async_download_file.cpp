#include "async/v_async_download_file.h"

namespace VendraClient {

VAsync_DownloadFile::VAsync_DownloadFile(IVClient* client, VendraJSON::VSJObject* build,
                                         VendraJSON::VSJObject* file)
    : client_(client),
      build_(Vendra::RefPtr<VendraJSON::VSJObject>::Share(build)),
      file_(Vendra::RefPtr<VendraJSON::VSJObject>::Share(file)) {}

eVClientResult VAsync_DownloadFile::Perform(VAsyncListener* listener, std::u16string& error) {
  return client_->DownloadFile(build_.get(), file_.get(), this, listener, error);
}

}  // namespace VendraClient
