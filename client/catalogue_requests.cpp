// The catalogue and download requests of the service client, and the
// factories that wrap the downloads in jobs.
#include <mutex>
#include <optional>

#include "async/v_async_download_file.h"
#include "async/v_async_download_utility.h"
#include "client/file_download.h"
#include "client/session_tokens.h"
#include "client/string_request.h"
#include "client/text_conversion.h"
#include "client/transfer.h"
#include "client/v_client.h"
#include "common/text/format.h"
#include "json/object.h"
#include "platform/local_path.h"
#include "platform/paths.h"

namespace VendraClient {
namespace {

using VendraJSON::VSJObject;


// A member's text as UTF-8; a missing member reads as empty.
std::string NarrowMember(const VSJObject* object, std::u16string_view key) {
  std::string text;
  if (!object->GetStringA(key, text)) text.clear();
  return text;
}

std::u16string WideMember(const VSJObject* object, std::u16string_view key) {
  std::u16string text;
  if (!object->GetString(key, text)) text.clear();
  return text;
}

// A file name from the catalogue is joined under a local folder: one that
// could reach outside it is refused before anything is sent or written.
eVClientResult RefuseUnsafeName(const char16_t* what, const std::u16string& name,
                                std::u16string& error) {
  error = VendraText::Format(u"Refused unsafe %ls file name \"%ls\"", what, name);
  return eVClientResult::Failed;
}

// The size an entry or a manifest gives under key, 0 when it gives none.
uint64_t SizeMember(const VSJObject* object, std::u16string_view key) {
  uint32_t size = 0;
  return object->GetUInt(key, size) ? size : 0;
}

}  // namespace

// The guards every authenticated catalogue request passes: a valid access
// token, the session lock, the stored session re-read, a valid local token
// and a transfer. The lock stays held in `lock` until the caller is done.
eVClientResult VClient::EnterAuthenticatedRequest(std::optional<NamedMutexLockGuard>& lock,
                                                  VClientTransfer& transfer,
                                                  std::u16string& error) {
  {
    std::lock_guard<std::recursive_mutex> session(sessionMemory_);
    if (!accessToken_.IsValid()) return AccessTokenRequired(error);
  }
  lock.emplace(SessionLock(), sessionLockWaitMs_);
  if (!lock->acquired()) {
    lock.reset();
    return SessionLockNotObtained(error);
  }
  {
    std::lock_guard<std::recursive_mutex> session(sessionMemory_);
    LoadSession();
    if (!localToken_.IsValid()) return LocalTokenRequired(error);
  }
  return transfer.CreateTransfer(error, &connections_);
}

void VClient::AddAuthenticationFields(VClientTransfer& transfer) {
  std::lock_guard<std::recursive_mutex> session(sessionMemory_);
  transfer.AddFormField("access_token", accessToken_.token());
  transfer.AddFormField("local_id", deviceId_);
  if (!localToken_.token().empty()) transfer.AddFormField("local_token", localToken_.token());
}

eVClientResult VClient::GetBuilds(const std::string& product, const std::string& description,
                                  uint32_t number, VSJObject** buildList, std::u16string& error) {
  if (!accessToken_.IsValid()) {
    error = u"Accss Token Required";
    return eVClientResult::AccessTokenRequired;
  }
  VClientTransfer transfer;
  if (const eVClientResult code = transfer.CreateTransfer(error); code != eVClientResult::Success)
    return code;
  transfer.SetRequestPath("vclient/builds");
  transfer.AddFormField("p", product);
  transfer.AddFormField("v", description);
  transfer.AddFormField("n", VendraText::Format("%u", number));
  transfer.AddFormField("access_token", accessToken_.token());
  Vendra::RefPtr<VSJObject> reply;
  const eVClientResult code = PerformStringRequest(transfer, reply, error);
  if (buildList) *buildList = reply.Detach();
  return code;
}

eVClientResult VClient::GetBuild(const std::string& product, const std::string& branch,
                                 const std::string& version, const std::u16string& folder,
                                 VSJObject** build, std::u16string& error) {
  if (product.empty() || branch.empty() || version.empty()) return eVClientResult::InvalidArgument;
  std::optional<NamedMutexLockGuard> lock;
  VClientTransfer transfer;
  if (const eVClientResult code = EnterAuthenticatedRequest(lock, transfer, error);
      code != eVClientResult::Success)
    return code;
  transfer.SetRequestPath("vclient/build");
  AddAuthenticationFields(transfer);
  transfer.AddFormField("p", product);
  transfer.AddFormField("b", branch);
  transfer.AddFormField("v", version);
  Vendra::RefPtr<VSJObject> reply;
  const eVClientResult code = PerformStringRequest(transfer, reply, error);
  lock.reset();
  // Without a folder there is nowhere to keep the copy; the reply still goes
  // to the caller.
  if (code == eVClientResult::Success && reply && !folder.empty()) {
    const std::u16string path = VendraPlatform::PathAppend(folder, u"build.json");
    uint32_t ignored = 0;
    VendraPlatform::CreateLocalPath(path, ignored);
    int errorCode = 0;
    reply->SaveFile(errorCode, path);
  }
  if (build) *build = reply.Detach();
  return code;
}

eVClientResult VClient::GetUtilityManifest(const std::string& utility, VSJObject** manifest,
                                           std::u16string& error) {
  if (utility.empty()) return eVClientResult::InvalidArgument;
  std::optional<NamedMutexLockGuard> lock;
  VClientTransfer transfer;
  if (const eVClientResult code = EnterAuthenticatedRequest(lock, transfer, error);
      code != eVClientResult::Success)
    return code;
  transfer.SetRequestPath("vclient/utility");
  AddAuthenticationFields(transfer);
  transfer.AddFormField("u", utility);
  Vendra::RefPtr<VSJObject> reply;
  const eVClientResult code = PerformStringRequest(transfer, reply, error);
  if (manifest) *manifest = reply.Detach();
  return code;
}

eVClientResult VClient::DownloadFileAsync(VSJObject* build, VSJObject* file, VAsync** job,
                                          std::u16string&) {
  if (!build || !file || !job) return eVClientResult::InvalidArgument;
  *job = new VAsync_DownloadFile(this, build, file);
  return eVClientResult::Success;
}

eVClientResult VClient::DownloadFile(VSJObject* build, VSJObject* file, VAsync* job,
                                     VAsyncListener* listener, std::u16string& error) {
  if (!build || !file) return eVClientResult::InvalidArgument;
  const std::u16string fileName = WideMember(file, u"filename");
  if (!VendraPlatform::IsContainedRelativePath(fileName))
    return RefuseUnsafeName(u"build", fileName, error);
  const std::u16string destination = WideMember(file, u"local_compressed_filename");
  // Set: a piece of the product's chunk pack of this name, not a file.
  const std::string pack = NarrowMember(file, u"pack");
  // The data folder's download cache is shared with every user: it is used
  // only when it passes the trust rule, and nothing is written outside it.
  std::u16string within;
  const std::u16string cache = dataFolder_.Path(u"downloads");
  if (destination.size() > cache.size() && destination.compare(0, cache.size(), cache) == 0 &&
      VendraPlatform::IsPathSeparator(destination[cache.size()])) {
    std::u16string ignored;
    if (const eVClientResult trusted =
            TrustedDataPath(dataFolder_.Path(u""), u"downloads", ignored, error);
        trusted != eVClientResult::Success)
      return trusted;
    within = cache;
  }
  const DownloadPreparation prepare = [&](std::optional<NamedMutexLockGuard>& lock,
                                          VClientTransfer& transfer, std::u16string& text) {
    if (const eVClientResult code = EnterAuthenticatedRequest(lock, transfer, text);
        code != eVClientResult::Success)
      return code;
    transfer.SetRequestPath("vclient/download");
    AddAuthenticationFields(transfer);
    transfer.AddFormField("software", NarrowMember(build, u"software"));
    if (!pack.empty()) {
      transfer.AddFormField("pack", pack);
      return eVClientResult::Success;
    }
    transfer.AddFormField("branch", NarrowMember(build, u"branch"));
    transfer.AddFormField("version", NarrowMember(build, u"version"));
    transfer.AddFormField("filename", NarrowMember(file, u"filename"));
    return eVClientResult::Success;
  };
  // The digest is checked as the bytes arrive: a wrong file never takes the
  // cache name, and nobody reads it back to check it.
  ExpectedDownload expected(SizeMember(file, u"compressed_size"),
                            NarrowMember(file, u"compressed_sha256"));
  // A run of chunks: compressed_size bytes of the pack from "offset" on,
  // whose chunks the caller checks one by one.
  expected.ranged = !pack.empty();
  int64_t offset = 0;
  if (expected.ranged && (!file->GetInteger(u"offset", offset) || offset < 0 || expected.size == 0))
    return eVClientResult::InvalidArgument;
  expected.from = static_cast<uint64_t>(offset);
  return DownloadWithRetries(prepare, destination, within, expected, job, listener, error);
}

eVClientResult VClient::DownloadUtilityAsync(VSJObject* manifest, VAsync** job, std::u16string&) {
  if (!manifest || !job) return eVClientResult::InvalidArgument;
  *job = new VAsync_DownloadUtility(this, manifest);
  return eVClientResult::Success;
}

eVClientResult VClient::DownloadUtilityFile(VSJObject* manifest, VAsync* job,
                                            VAsyncListener* listener, std::u16string& error) {
  if (!manifest) return eVClientResult::InvalidArgument;
  const std::string name = NarrowMember(manifest, u"name");
  const std::u16string fileName = WideMember(manifest, u"filename");
  if (!VendraPlatform::IsContainedRelativePath(fileName))
    return RefuseUnsafeName(u"utility", fileName, error);
  // The utils folder must pass the trust rule before anything is written.
  std::u16string destination;
  if (const eVClientResult trusted = TrustedDataPath(
          dataFolder_.Path(u""), u"utils\\" + fileName + u".z", destination, error);
      trusted != eVClientResult::Success)
    return trusted;
  const DownloadPreparation prepare = [&](std::optional<NamedMutexLockGuard>& lock,
                                          VClientTransfer& transfer, std::u16string& text) {
    lock.emplace(SessionLock(), sessionLockWaitMs_);
    if (!lock->acquired()) {
      lock.reset();
      return SessionLockNotObtained(text);
    }
    {
      std::lock_guard<std::recursive_mutex> session(sessionMemory_);
      LoadSession();
      if (!accessToken_.IsValid()) return AccessTokenRequired(text);
      if (!localToken_.IsValid()) return LocalTokenRequired(text);
    }
    if (const eVClientResult code = transfer.CreateTransfer(text, &connections_);
        code != eVClientResult::Success)
      return code;
    transfer.SetRequestPath("vclient/download");
    AddAuthenticationFields(transfer);
    transfer.AddFormField("utility", name);
    return eVClientResult::Success;
  };
  // What the manifest says of the ".z" file bounds the download and ties a
  // partial file to this version of the utility.
  return DownloadWithRetries(prepare, destination, dataFolder_.Path(u"utils"),
                             ExpectedDownload(SizeMember(manifest, u"compressed_file_size"),
                                              NarrowMember(manifest, u"compressed_file_sha256")),
                             job, listener, error);
}

}  // namespace VendraClient
