#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "async/v_async.h"
#include "async/v_async_listeners.h"
#include "client/v_client.h"
#include "common/memory/ref_ptr.h"
#include "install/v_build_client.h"
#include "json/array.h"
#include "json/object.h"
#include "tests/support/notice_recorder.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {

using ObjectRef = Vendra::RefPtr<VendraJSON::VSJObject>;
using ArrayRef = Vendra::RefPtr<VendraJSON::VSJArray>;
using JobRef = Vendra::RefPtr<VendraClient::VAsync>;

// A machine root of its own, the service on loopback with a build "tdy" /
// "live" / "1.2.3" whose files the tests publish, a signed-in client, the
// build client, and folders to download to and install into.
class BuildJobsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Puts content's ".z" form on the service under the build's name; answers
  // the file entry as the service would list it (sizes of both forms).
  ObjectRef Publish(const std::string& name, const std::string& content);
  // A build object whose "data"."files" is files.
  ObjectRef Build(VendraJSON::VSJArray* files);
  // The entries that still have to be downloaded, each with its
  // "local_compressed_filename" below the download folder.
  ArrayRef ToDownload(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files);

  TempFolder machine_;
  TempFolder serviceRoot_;
  TempFolder downloads_;
  TempFolder install_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::unique_ptr<VendraClient::VClient> client_;
  VendraClient::VBuildClient buildClient_;
};

// The zlib stream of bytes.
std::string Compress(const std::string& bytes);
// length bytes that do not compress.
std::string NoiseBytes(size_t length, unsigned seed);
std::string ReadWholeFile(const std::string& path);
// The path the client makes of a folder and a relative name: the folder as
// given, the rest joined with the platform's separator.
std::string ClientPath(const TempFolder& folder, const std::string& relative);
bool FileExists(const std::string& path);
ArrayRef ParseArray(const char* text);
ArrayRef ListOf(std::initializer_list<VendraJSON::VSJValue*> values);
// The list's element at index, which must be an object.
ObjectRef EntryAt(VendraJSON::VSJArray* list, size_t index);

// Polls until done answers true; false after about 20 s.
bool Eventually(const std::function<bool()>& done);
// Polls the job every millisecond while it runs; its last status.
int32_t AwaitEnd(VendraClient::VAsync* job);
// The references held on value besides the caller's own.
int OtherReferences(VendraJSON::VSJValue* value);

}  // namespace VendraTest
