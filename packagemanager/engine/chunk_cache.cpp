#include "packagemanager/engine/chunk_cache.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/sha256.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/paths.h"

namespace VendraBuild {
namespace {

using VendraClient::BuildChunk;
using VendraClient::eVClientResult;
using BufferRef = Vendra::RefPtr<VendraClient::VBuffer>;

constexpr char16_t kRunPrefix[] = u"run-";
constexpr char16_t kRunSuffix[] = u".z";
constexpr char16_t kListSuffix[] = u".list";
// A run's list names at most a few thousand chunks.
constexpr size_t kLongestList = 1 << 20;

std::u16string ListPath(const ChunkRun& run) {
  return run.path.substr(0, run.path.size() - 2) + kListSuffix;
}

std::string ListText(const ChunkRun& run) {
  std::string text = run.pack + " " + std::to_string(run.offset) + " " +
                     std::to_string(run.size) + "\n";
  for (const BuildChunk& chunk : run.chunks)
    text += chunk.sha256 + " " + std::to_string(chunk.size) + " " +
            std::to_string(chunk.compressedSize) + "\n";
  return text;
}

// The chunk's bytes from its zlib stream, when they are its size and digest.
bool Inflated(const uint8_t* stream, size_t length, const BuildChunk& chunk, BufferRef& bytes) {
  BufferRef input = BufferRef::Adopt(new VendraClient::VBuffer());
  if (!input->Resize(static_cast<int32_t>(length))) return false;
  std::copy(stream, stream + length, input->Data());
  std::u16string ignored;
  BufferRef output;
  if (VendraClient::InflateBuffer(input.get(), chunk.size, output.Receive(), ignored) !=
          eVClientResult::Success ||
      static_cast<uint32_t>(output->Size()) != chunk.size ||
      VendraClient::Sha256Hex(output->Data(), chunk.size) != chunk.sha256)
    return false;
  bytes = output;
  return true;
}

// Created new beside its name (exclusive, no link followed), pushed to the
// disk and renamed, so that the name holds the whole chunk or nothing after
// a kill or a power cut, and nothing planted at the name is written through.
uint32_t KeepChunk(const std::u16string& path, const std::string& bytes) {
  VendraPlatform::NewFile file;
  uint32_t failed = file.Create(u"", path);
  if (failed == 0) failed = file.Output().Write(bytes.data(), bytes.size());
  if (failed == 0) return file.Place();
  file.Discard();
  return failed;
}

void Discard(const ChunkRun& run) {
  VendraPlatform::DeleteFile(run.path);
  VendraPlatform::DeleteFile(ListPath(run));
}

// The words of a run's list in order, separated by spaces and line ends.
// (A string stream would do, but it brings the C++ streams into a program
// that has none, which costs the Windows program a third of its size.)
class ListWords {
 public:
  explicit ListWords(std::string_view text) : text_(text) {}

  bool Next(std::string& word) {
    const size_t start = text_.find_first_not_of(" \n");
    if (start == std::string_view::npos) return false;
    const size_t end = std::min(text_.find_first_of(" \n", start), text_.size());
    word.assign(text_.substr(start, end - start));
    text_.remove_prefix(end);
    return true;
  }
  template <typename Number>
  bool Next(Number& number) {
    std::string word;
    if (!Next(word)) return false;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
    return error == std::errc() && end == word.data() + word.size();
  }

 private:
  std::string_view text_;
};

// The run its list describes; false when the list is not one.
bool ReadRunList(const std::u16string& listPath, ChunkRun& run) {
  std::string text;
  std::u16string ignored;
  if (VendraPlatform::ReadSmallFile(listPath, kLongestList, text, ignored) != 0) return false;
  ListWords words(text);
  if (!words.Next(run.pack) || !words.Next(run.offset) || !words.Next(run.size)) return false;
  uint64_t total = 0;
  BuildChunk chunk;
  while (words.Next(chunk.sha256) && words.Next(chunk.size) && words.Next(chunk.compressedSize)) {
    total += chunk.compressedSize;
    run.chunks.push_back(chunk);
  }
  run.path = listPath.substr(0, listPath.size() - 5) + kRunSuffix;
  return total == run.size && !run.chunks.empty();
}

}  // namespace

std::u16string ChunkPath(const std::u16string& folder, const std::string& sha256) {
  return VendraPlatform::JoinFileName(folder, VendraText::Utf8ToUtf16(sha256) + u".z");
}

void NameRun(const std::u16string& folder, ChunkRun& run) {
  const std::string text = ListText(run);
  run.path = VendraPlatform::JoinFileName(
      folder, kRunPrefix + VendraText::Utf8ToUtf16(VendraClient::Sha256Hex(text.data(), text.size())) +
                  kRunSuffix);
}

uint32_t WriteRunList(const ChunkRun& run) {
  return VendraPlatform::WriteFileAtomically(ListPath(run), ListText(run));
}

eVClientResult SplitRun(const ChunkRun& run, const std::u16string& fileName,
                        std::u16string& error) {
  std::string bytes;
  VendraPlatform::File input;
  if (const uint32_t opened = input.OpenForReading(run.path)) {
    error = VendraText::Format(u"Could not read the chunks fetched for %ls (system error %u)",
                               fileName, opened);
    return eVClientResult::FileOpenFailed;
  }
  const std::u16string folder(VendraPlatform::FolderOf(run.path));
  for (const BuildChunk& chunk : run.chunks) {
    bytes.resize(chunk.compressedSize);
    size_t got = 0;
    size_t read = 0;
    while (got < bytes.size() && input.Read(bytes.data() + got, bytes.size() - got, read) == 0 &&
           read != 0)
      got += read;
    BufferRef expanded;
    if (got != bytes.size() ||
        !Inflated(reinterpret_cast<const uint8_t*>(bytes.data()), got, chunk, expanded)) {
      input.Close();
      Discard(run);
      error = VendraText::Format(
          u"The chunk %hs of %ls from pack %hs does not expand to its %u bytes with that "
          u"SHA-256; it was discarded and nothing of it was installed",
          chunk.sha256, fileName, run.pack, chunk.size);
      return eVClientResult::VerifyFailed;
    }
    if (const uint32_t written = KeepChunk(ChunkPath(folder, chunk.sha256), bytes)) {
      error = VendraText::Format(u"Could not keep a chunk of %ls in %ls (system error %u)",
                                 fileName, folder, written);
      return eVClientResult::FileOpenFailed;
    }
  }
  input.Close();
  Discard(run);
  return eVClientResult::Success;
}

void FinishCutShortSplits(const std::u16string& folder) {
  std::vector<VendraPlatform::FolderEntry> entries;
  if (VendraPlatform::ListFolder(folder, entries) != 0) return;
  for (const auto& entry : entries) {
    const std::u16string_view name = entry.name;
    if (entry.isFolder || entry.isLink || name.size() <= 5 ||
        name.substr(name.size() - 5) != kListSuffix)
      continue;
    ChunkRun run;
    const std::u16string listPath = VendraPlatform::JoinFileName(folder, entry.name);
    std::u16string ignored;
    if (!ReadRunList(listPath, run) || !VendraPlatform::FileExists(run.path) ||
        SplitRun(run, u"a chunked file", ignored) != eVClientResult::Success)
      VendraPlatform::DeleteFile(listPath);
  }
}

bool ReadKeptChunk(const std::u16string& folder, const BuildChunk& chunk, BufferRef& bytes,
                   std::u16string& error) {
  const std::u16string path = ChunkPath(folder, chunk.sha256);
  std::string stream;
  std::u16string problem;
  const bool read =
      VendraPlatform::ReadSmallFile(path, chunk.compressedSize, stream, problem) == 0;
  if (read && stream.size() == chunk.compressedSize &&
      Inflated(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), chunk, bytes))
    return true;
  VendraPlatform::DeleteFile(path);
  error = VendraText::Format(u"the kept chunk %hs is damaged or missing; it was discarded",
                             chunk.sha256);
  return false;
}

}  // namespace VendraBuild
