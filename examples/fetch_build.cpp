// vendra-fetch: signs in (or reuses the stored session), shows the live
// version of a product and downloads that build with a progress line.
//
//   vendra-fetch [--user NAME] BUILD_LIST PRODUCT DOWNLOAD_FOLDER
//
// With --user the password, and then the code the service e-mails to
// authorise this device, are read from standard input, one line each, and no
// window is shown; without it a stored session is used, or the sign-in
// windows are shown. Exit code 0 on success, 1 with the result code's name on
// failure, 2 for a wrong command line.
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "async/v_async.h"
#include "async/v_async_listeners.h"
#include "client/result.h"
#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "install/process_objects.h"
#include "json/json.h"
#include "ui/sign_in_windows.h"

using VendraClient::eVClientResult;
using VendraText::Utf16ToUtf8;
using VendraText::Utf8ToUtf16;

namespace {

// Says what failed with the result code, its name and the library's text.
bool Succeeded(const char* what, eVClientResult code, const std::u16string& error) {
  if (code == eVClientResult::Success) return true;
  std::cerr << "vendra-fetch: " << what << " failed: " << VendraClient::ResultName(code) << " ("
            << VendraClient::ToInt(code) << ")" << (error.empty() ? "" : ": ")
            << Utf16ToUtf8(error) << "\n";
  return false;
}

std::string ReadLine() {
  std::string line;
  std::getline(std::cin, line);
  return line;
}

// Hears the download job on its worker threads: one progress line, then the
// end, which the main thread waits for.
class ProgressLine final : public VendraClient::VAsyncListenerCounted {
 public:
  static ProgressLine* Create() { return new ProgressLine(); }

  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync*, VendraJSON::VSJObject* progress) override {
    // The listener owns the progress object's reference.
    const auto owned = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(progress);
    std::u16string file;
    int64_t received = 0;
    int64_t total = 0;
    owned->GetString(u"filename", file);
    owned->GetInteger(u"received_total", received);
    owned->GetInteger(u"total_size", total);
    // One line, rewritten when the file or the whole per cent changes.
    const int64_t percent = total > 0 ? received * 100 / total : 0;
    const std::lock_guard<std::mutex> hold(mutex_);
    if (file == shownFile_ && percent == shownPercent_) return;
    shownFile_ = file;
    shownPercent_ = percent;
    std::printf("\r%s: %lld%% of %lld bytes\033[K", Utf16ToUtf8(file).c_str(),
                static_cast<long long>(percent), static_cast<long long>(total));
    std::fflush(stdout);
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t code, const char16_t*) override {
    End(code, u"");
  }
  void OnFailed(VendraClient::VAsync*, int32_t code, const char16_t* text) override {
    End(code, text ? text : u"");
  }

  eVClientResult Wait(std::u16string& error) {
    std::unique_lock<std::mutex> hold(mutex_);
    ended_.wait(hold, [this] { return done_; });
    error = error_;
    return VendraClient::FromInt(code_);
  }

 private:
  void End(int32_t code, std::u16string text) {
    const std::lock_guard<std::mutex> hold(mutex_);
    std::printf("\n");
    code_ = code;
    error_ = std::move(text);
    done_ = true;
    ended_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  int32_t code_ = 0;
  std::u16string error_;
  std::u16string shownFile_;
  int64_t shownPercent_ = -1;
};

// The stored session, or a sign-in with the password and device code read
// from standard input.
bool SignIn(VendraClient::IVClient& client, const std::string& user) {
  std::u16string error;
  if (user.empty())
    return Succeeded("sign-in", client.EnsureLogin(error), error) &&
           Succeeded("device authorisation", client.EnsureDeviceAuthorized(error), error);
  if (client.EnsureLogin(error) != eVClientResult::Success) {
    std::string password = ReadLine();
    const eVClientResult code = client.Login(user, password, false, 86400, error);
    password.assign(password.size(), '\0');
    if (!Succeeded("sign-in", code, error)) return false;
  }
  if (client.EnsureDeviceAuthorized(error) == eVClientResult::Success) return true;
  if (!Succeeded("sending the device code", client.EmailDeviceCode(error), error)) return false;
  std::cout << "vendra-fetch: enter the code sent by e-mail" << std::endl;
  const std::u16string code = Utf8ToUtf16(ReadLine());
  std::u16string device;
  client.GetDeviceName(device, error);
  return Succeeded("device authorisation", client.AuthorizeDevice(code, device, error), error);
}

int Fetch(VendraClient::ProcessObjects& objects, const std::string& user,
          const std::string& buildList, const std::string& product,
          const std::u16string& folder) {
  VendraClient::VClient& client = objects.Client();
  if (!SignIn(client, user)) return 1;
  std::u16string name;
  std::u16string error;
  if (client.GetUsername(name, error) == eVClientResult::Success)
    std::cout << "signed in as " << Utf16ToUtf8(name) << "\n";

  // The build list names the live build of the product.
  using ObjectRef = Vendra::RefPtr<VendraJSON::VSJObject>;
  ObjectRef list;
  if (!Succeeded("reading the build list",
                 client.GetBuilds(buildList, "vendra-fetch 1.0", 0, list.Receive(), error),
                 error))
    return 1;
  ObjectRef live;
  std::string version;
  if (!list || !list->GetObject(u"live", live.Receive()) || !live ||
      !live->GetStringA(u"version", version)) {
    std::cerr << "vendra-fetch: the build list " << buildList << " names no live version\n";
    return 1;
  }
  std::cout << "live version of " << product << ": " << version << "\n";

  ObjectRef build;
  if (!Succeeded("getting the build",
                 client.GetBuild(product, "live", version, u"", build.Receive(), error), error))
    return 1;
  ObjectRef data;
  Vendra::RefPtr<VendraJSON::VSJArray> files;
  if (!build->GetObject(u"data", data.Receive()) || !data->GetArray(u"files", files.Receive())) {
    std::cerr << "vendra-fetch: the build has no file list\n";
    return 1;
  }
  // Only what the folder does not hold already, checked, is downloaded.
  Vendra::RefPtr<VendraJSON::VSJArray> missing;
  if (!Succeeded("comparing the download folder",
                 objects.BuildClient().GetFilesToDownload(build.get(), files.get(), folder,
                                                          missing.Receive(), error),
                 error))
    return 1;
  Vendra::RefPtr<VendraClient::VAsync> job;
  if (!Succeeded("making the download job",
                 client.DownloadBuildAsync(build.get(), missing.get(), folder, job.Receive(),
                                           error),
                 error))
    return 1;
  const auto listener = Vendra::RefPtr<ProgressLine>::Adopt(ProgressLine::Create());
  job->Start(listener.get());
  if (!Succeeded("downloading the build", listener->Wait(error), error)) return 1;
  std::cout << "downloaded " << product << " " << version << " into " << Utf16ToUtf8(folder)
            << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string user;
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "--user") {
    user = argv[2];
    first = 3;
  }
  if (argc - first != 3) {
    std::cerr << "usage: vendra-fetch [--user NAME] BUILD_LIST PRODUCT DOWNLOAD_FOLDER\n";
    return 2;
  }
  // The windows go after the clients that show them: made first.
  VendraUi::SystemSignInWindows windows;
  VendraClient::ProcessObjects objects(user.empty() ? &windows : nullptr);
  return Fetch(objects, user, argv[first], argv[first + 1], Utf8ToUtf16(argv[first + 2]));
}
