#include "tests/packagemanager/engine/install_engine_fixture.h"

#include <cstdlib>
#include <filesystem>

#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "tests/support/chunk_lists.h"
#include "tests/support/environment.h"
#include "tests/support/published_build.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;

constexpr char kRecord[] = "VendraBuild.install.json";

// Where each system's programs look for their temporary folder.
#ifdef _WIN32
constexpr const char* kTempVariables[] = {"TMP", "TEMP"};
#else
constexpr const char* kTempVariables[] = {"TMPDIR"};
#endif

std::string LocalName(std::string name) {
  for (auto& c : name) c = c == '\\' ? '/' : c;
  return name;
}

// A new file on its way in, not yet renamed over its final name.
bool IsUnplaced(const fs::path& path) {
  return path.filename().string().find(".new-") != std::string::npos ||
         path.extension() == ".vbnew";
}

}  // namespace

Files VersionOne() {
  Files files = {{"Tandory.exe", "#!/bin/sh\necho one\n"},
                 {"data\\big.bin", Noise(1536 * 1024, 1)},
                 {"data\\more.bin", Noise(1024 * 1024, 2)}};
  for (int i = 0; i < 5; ++i)
    files["data\\t" + std::to_string(i) + ".txt"] = std::string(5000 + i, char('a' + i));
  return files;
}

Files VersionTwo() {
  Files files = VersionOne();
  files["Tandory.exe"] = "#!/bin/sh\necho two\n";
  files["data\\big.bin"] = Noise(1536 * 1024, 3);
  for (int i = 0; i < 3; ++i) files["data\\t" + std::to_string(i) + ".txt"] += " changed";
  files.erase("data\\t4.txt");
  files["data\\new.txt"] = "new in two";
  return files;
}

Files EditedTwo() {
  Files files = VersionTwo();
  std::string big = VersionOne().at("data\\big.bin");
  big.insert(300 * 1024, Noise(10 * 1024, 4));
  std::string more = VersionOne().at("data\\more.bin");
  more.replace(200 * 1024, 20 * 1024, Noise(20 * 1024, 5));
  more.erase(700 * 1024, 5 * 1024);
  files["data\\big.bin"] = big;
  files["data\\more.bin"] = more;
  return files;
}

Files SharedInsertTwo() {
  Files files = VersionOne();
  const std::string shared = Noise(1024 * 1024, 6);
  files["data\\big.bin"].insert(100 * 1024, shared);
  files["data\\more.bin"].insert(600 * 1024, shared);
  return files;
}

void InstallEngineTest::SetUp() {
  SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
  // The builds published here are not signed.
  WriteServiceFile(folders_.path(), "config.json", R"({"accept_unsigned_builds": true})");
  SetEnvironment("VENDRA_BUILD_CONFIG", folders_.Sub("config.json"));
  WriteServiceFile(machine_.path(), "etc/machine-id", "00112233445566778899aabbccddeeff\n");
  std::string failure;
  ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                              failure))
      << failure;
  folder_ = folders_.Sub("Tandory");
  // Only now: the service's certificates, made on first use, live on in
  // the real temporary folder.
  for (const char* name : kTempVariables) {
    const char* value = std::getenv(name);
    savedTemp_.emplace_back(name, value ? value : "");
    SetEnvironment(name, temp_.path());
  }
}

void InstallEngineTest::TearDown() {
  for (const auto& [name, value] : savedTemp_) SetEnvironment(name, value);
  for (const char* name :
       {"VENDRA_SERVICE_URL", "VENDRA_CA_FILE", "VENDRA_MACHINE_ROOT", "VENDRA_BUILD_CONFIG"})
    SetEnvironment(name, "");
}

void InstallEngineTest::Publish(const std::string& version, const Files& files) {
  std::vector<PublishedFile> published;
  for (const auto& [name, content] : files) published.push_back({name, content, ""});
  Pack(published);
  PublishBuild(serviceRoot_.path(), "tdy", "live", version, published);
}

void InstallEngineTest::PublishChunked(const std::string& version, const Files& files) {
  Publish(version, files);
  std::string failure;
  ASSERT_TRUE(AddChunkLists(
      serviceRoot_.path(), "tdy", "live", version,
      [&](const std::string& name) -> const std::string& { return files.at(name); },
      folders_.Sub("chunk-source"), failure))
      << failure;
}

std::unique_ptr<RunningProgram> InstallEngineTest::Start(const std::string& version) {
  return std::make_unique<RunningProgram>(
      std::vector<std::string>{VENDRA_BUILD_PROGRAM, "install", "tdy", "live", version, folder_,
                               folder_ + "/Tandory.exe"},
      ProgramStreams(log_));
}

std::string InstallEngineTest::Command(const std::vector<std::string>& words) {
  const std::string output = folders_.Sub("command.out");
  std::error_code ignored;
  fs::remove(output, ignored);
  std::vector<std::string> line = {VENDRA_BUILD_PROGRAM};
  line.insert(line.end(), words.begin(), words.end());
  lastExit_ = RunProgram(line, ProgramStreams(output));
  // Windows programs end their text lines with CR LF.
  std::string text = ReadTextFile(output);
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
  return text;
}

std::string InstallEngineTest::Mixed(const Files& earlier, const Files& later) const {
  std::string faults;
  std::error_code ignored;
  for (const auto& item : fs::recursive_directory_iterator(folder_, ignored)) {
    if (!item.is_regular_file()) continue;
    std::string name = fs::relative(item.path(), folder_).string();
    // The record and the files on their way in are no product files.
    if (name.rfind(kRecord, 0) == 0 || IsUnplaced(item.path())) continue;
    for (auto& c : name) c = c == '/' ? '\\' : c;
    const std::string content = ReadTextFile(item.path().string());
    const auto a = earlier.find(name);
    const auto b = later.find(name);
    const bool whole = (a != earlier.end() && a->second == content) ||
                       (b != later.end() && b->second == content);
    if (!whole) faults += name + " (" + std::to_string(content.size()) + " bytes) ";
  }
  return faults;
}

bool InstallEngineTest::Holds(const Files& files, RecordCopies copies) const {
  for (const auto& [name, content] : files) {
    const std::string path = folder_ + "/" + LocalName(name);
    if (!fs::exists(path) || ReadTextFile(path) != content) return false;
  }
  for (const auto& item : fs::directory_iterator(folder_)) {
    if (copies == RecordCopies::Refused &&
        item.path().filename().string().rfind(std::string(kRecord) + ".", 0) == 0)
      return false;
  }
  return Mixed(files, files).empty();
}

std::string InstallEngineTest::Listing() const {
  std::string names;
  std::error_code ignored;
  for (const auto& item : fs::recursive_directory_iterator(folder_, ignored))
    names += fs::relative(item.path(), folder_).generic_string() + "(" +
             (item.is_regular_file() ? std::to_string(item.file_size()) : "-") + ") ";
  return names;
}

nlohmann::json InstallEngineTest::Record() const {
  auto parsed = nlohmann::json::parse(ReadTextFile(folder_ + "/" + kRecord), nullptr, false);
  return parsed.is_object() ? parsed : nlohmann::json::object();
}

std::string InstallEngineTest::Unplaced() const {
  std::string names;
  std::error_code ignored;
  for (const auto& item : fs::recursive_directory_iterator(folder_, ignored))
    if (IsUnplaced(item.path())) names += fs::relative(item.path(), folder_).generic_string() + " ";
  return names;
}

void InstallEngineTest::SlowDownloads(int count) {
  std::string replies = "[";
  for (int i = 0; i < count; ++i)
    replies += std::string(i ? "," : "") + R"({"chunk_size":65536,"chunk_delay_ms":15})";
  ASSERT_TRUE(service_->Script("vclient/download", replies + "]"));
}

void InstallEngineTest::Register(const std::string& key, const std::string& folder,
                                 const std::u16string& publisher) {
  VendraClient::UninstallEntry entry(VendraText::Utf8ToUtf16(key + " shown"), u"", u"", u"", 0);
  entry.installLocation = VendraText::Utf8ToUtf16(folder);
  if (!publisher.empty()) entry.publisher = publisher;
  std::u16string error;
  EXPECT_EQ(VendraClient::WriteUninstallEntry(entry, VendraText::Utf8ToUtf16(key), error),
            VendraClient::eVClientResult::Success);
}

std::map<std::string, uintmax_t> InstallEngineTest::CacheFiles(const std::string& sub) const {
  std::map<std::string, uintmax_t> files;
  const fs::path root = cache_ + "/" + sub;
  std::error_code ignored;
  for (const auto& item : fs::recursive_directory_iterator(root, ignored))
    if (item.is_regular_file() || item.is_symlink())
      files[fs::relative(item.path(), root).generic_string()] =
          item.is_symlink() ? 0 : item.file_size();
  return files;
}

std::vector<InstallEngineTest::PackPiece> InstallEngineTest::PackPieces(size_t from) const {
  std::vector<PackPiece> pieces;
  const std::vector<nlohmann::json> lines = service_->RequestLog();
  for (size_t i = from; i < lines.size(); ++i) {
    const std::string range = lines[i].value("range", "");
    if (!lines[i]["fields"].contains("pack") || range.empty()) continue;
    const size_t dash = range.find('-');
    pieces.push_back({lines[i]["fields"].value("pack", ""), std::stoull(range.substr(6, dash - 6)),
                      std::stoull(range.substr(dash + 1)), i, lines[i].value("scripted", false)});
  }
  return pieces;
}

}  // namespace VendraTest
