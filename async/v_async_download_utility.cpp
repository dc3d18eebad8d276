#include "async/v_async_download_utility.h"

namespace VendraClient {

VAsync_DownloadUtility::VAsync_DownloadUtility(IVClient* client, VendraJSON::VSJObject* manifest)
    : client_(client), manifest_(Vendra::RefPtr<VendraJSON::VSJObject>::Share(manifest)) {}

eVClientResult VAsync_DownloadUtility::Perform(VAsyncListener* listener, std::u16string& error) {
  return client_->DownloadUtilityFile(manifest_.get(), this, listener, error);
}

}  // namespace VendraClient
