#include "tests/async/build_jobs_fixture.h"

#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/text/utf.h"
#include "json/parser.h"
#include "json/value_container.h"
#include "platform/paths.h"
#include "tests/support/environment.h"
#include "tests/support/sha256_hex.h"

namespace VendraTest {

void BuildJobsTest::SetUp() {
  SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
  WriteServiceFile(machine_.path(), "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
  std::string failure;
  ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                              failure))
      << failure;
  WriteServiceFile(serviceRoot_.path(), "catalogue/tdy/live/1.2.3/build.json",
                   R"({"software": "tdy", "branch": "live", "version": "1.2.3",
                       "data": {"files": []}})");
  client_ = std::make_unique<VendraClient::VClient>();
  client_->LoadSession();
}

void BuildJobsTest::TearDown() {
  client_.reset();
  SetEnvironment("VENDRA_SERVICE_URL", "");
  SetEnvironment("VENDRA_CA_FILE", "");
  SetEnvironment("VENDRA_MACHINE_ROOT", "");
}

ObjectRef BuildJobsTest::Publish(const std::string& name, const std::string& content) {
  const std::string compressed = Compress(content);
  WriteServiceFile(serviceRoot_.path(), "catalogue/tdy/live/1.2.3/files/" + name + ".z",
                   compressed);
  auto entry = ObjectRef::Adopt(VendraJSON::VSJObject::Create());
  entry->SetStringA(u"filename", name);
  entry->SetInteger(u"size", static_cast<int64_t>(content.size()));
  entry->SetStringA(u"sha256", Sha256Hex(content));
  entry->SetInteger(u"compressed_size", static_cast<int64_t>(compressed.size()));
  entry->SetStringA(u"compressed_sha256", Sha256Hex(compressed));
  return entry;
}

ObjectRef BuildJobsTest::Build(VendraJSON::VSJArray* files) {
  ObjectRef build;
  std::u16string error;
  EXPECT_TRUE(VendraJSON::ParseObjectA(
      R"({"software": "tdy", "branch": "live", "version": "1.2.3", "data": {}})", build.Receive(),
      error));
  ObjectRef data;
  EXPECT_TRUE(build->GetObject(u"data", data.Receive()));
  data->Set(u"files", files);
  return build;
}

ArrayRef BuildJobsTest::ToDownload(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files) {
  ArrayRef list;
  std::u16string error;
  EXPECT_EQ(buildClient_.GetFilesToDownload(build, files, downloads_.wpath(), list.Receive(), error),
            VendraClient::eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  return list;
}

std::string Compress(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(bytes.data()),
                      static_cast<uLong>(bytes.size()), 6),
            Z_OK);
  out.resize(size);
  return out;
}

std::string NoiseBytes(size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state);
  }
  return bytes;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

ArrayRef ParseArray(const char* text) {
  Vendra::RefPtr<VendraJSON::VSJValue> value;
  std::u16string error;
  EXPECT_TRUE(VendraJSON::ParseValueA(text, value.Receive(), error));
  EXPECT_EQ(value->Kind(), VendraJSON::kTypeArray);
  return ArrayRef::Adopt(static_cast<VendraJSON::VSJArray*>(value.Detach()));
}

ArrayRef ListOf(std::initializer_list<VendraJSON::VSJValue*> values) {
  auto list = ArrayRef::Adopt(VendraJSON::VSJArray::Create());
  for (VendraJSON::VSJValue* value : values) list->Append(value);
  return list;
}

ObjectRef EntryAt(VendraJSON::VSJArray* list, size_t index) {
  VendraJSON::VSJValue* value = list->At(index)->Value();
  EXPECT_EQ(value->Kind(), VendraJSON::kTypeObject);
  return ObjectRef::Share(static_cast<VendraJSON::VSJObject*>(value));
}

bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 20000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

int32_t AwaitEnd(VendraClient::VAsync* job) {
  int32_t status = job->GetStatus();
  Eventually([&] { return (status = job->GetStatus()) != 2; });
  return status;
}

int OtherReferences(VendraJSON::VSJValue* value) {
  value->AddRef();
  return value->Release() - 1;
}

std::string ClientPath(const TempFolder& folder, const std::string& relative) {
  std::string path = folder.path() + static_cast<char>(VendraPlatform::kPathSeparator) + relative;
  for (size_t i = folder.path().size(); i < path.size(); ++i)
    if (path[i] == '/') path[i] = static_cast<char>(VendraPlatform::kPathSeparator);
  return path;
}

}  // namespace VendraTest
