#include "packagemanager/engine/chunk_plan.h"

#include <algorithm>
#include <map>
#include <set>

#include "common/text/format.h"
#include "install/sha256.h"
#include "packagemanager/chunks/content_chunker.h"
#include "packagemanager/engine/file_placement.h"
#include "packagemanager/engine/installed_files.h"
#include "platform/new_file.h"
#include "platform/paths.h"

namespace VendraBuild {
namespace {

using VendraClient::BuildChunk;
using VendraClient::eVClientResult;

// A run stays small enough that a cut connection costs little and the
// fetches of several runs overlap.
constexpr uint64_t kLargestRun = 16u << 20;

std::string KeyOf(const std::string& sha256, uint32_t size) {
  return sha256 + ":" + std::to_string(size);
}

// Where each chunk of the installed file lies: cut as the publisher cuts.
std::map<std::string, uint64_t> ChunksOnDisk(const std::u16string& path) {
  std::map<std::string, uint64_t> found;
  if (!VendraPlatform::FileExists(path) || VendraPlatform::FolderExists(path)) return found;
  const VendraChunks::ChunkedInput input = VendraChunks::ChunkFile(
      path, VendraChunks::kBuildChunkLimits,
      [&](const VendraChunks::Chunk& chunk, const uint8_t*) {
        found.emplace(KeyOf(chunk.sha256, chunk.size), chunk.offset);
        return true;
      });
  if (input.readError != 0) found.clear();
  return found;
}

// The chunks in runs of neighbours in one pack.
std::vector<ChunkRun> Runs(std::vector<const BuildChunk*> chunks, const std::u16string& folder) {
  std::sort(chunks.begin(), chunks.end(), [](const BuildChunk* a, const BuildChunk* b) {
    return a->pack != b->pack ? a->pack < b->pack : a->offset < b->offset;
  });
  std::vector<ChunkRun> runs;
  for (const BuildChunk* chunk : chunks) {
    if (runs.empty() || runs.back().pack != chunk->pack ||
        runs.back().offset + runs.back().size != chunk->offset ||
        runs.back().size + chunk->compressedSize > kLargestRun) {
      runs.emplace_back();
      runs.back().pack = chunk->pack;
      runs.back().offset = chunk->offset;
    }
    runs.back().size += chunk->compressedSize;
    runs.back().chunks.push_back(*chunk);
  }
  for (ChunkRun& run : runs) NameRun(folder, run);
  return runs;
}

// Where each chunk of the installed file lies: from the chunk list of the
// earlier build whose file it is, else cut as the publisher cuts.
std::map<std::string, uint64_t> ChunksOf(const FileWork& file,
                                         const std::vector<VendraClient::BuildFileList>& earlier) {
  if (!file.standing.empty() && VendraPlatform::FileExists(file.finalPath)) {
    for (const VendraClient::BuildFileList& list : earlier) {
      for (const VendraClient::BuildFile& known : list) {
        if (!known.chunked || known.name != file.file->name ||
            LowerCase(known.sha256) != LowerCase(file.standing))
          continue;
        std::map<std::string, uint64_t> found;
        uint64_t offset = 0;
        for (const BuildChunk& chunk : known.chunks) {
          found.emplace(KeyOf(chunk.sha256, chunk.size), offset);
          offset += chunk.size;
        }
        return found;
      }
    }
  }
  return ChunksOnDisk(file.finalPath);
}

}  // namespace

void PlanRebuilds(std::vector<FileWork>& work, size_t first, const std::u16string& downloads,
                  const std::vector<VendraClient::BuildFileList>& earlier) {
  const std::u16string folder = VendraPlatform::JoinFileName(downloads, kChunkFolderName);
  FinishCutShortSplits(folder);
  // Each chunk to fetch, by the file whose runs fetch it.
  std::map<std::string, size_t> fetchedBy;
  for (size_t i = first; i < work.size(); ++i) {
    FileWork& file = work[i];
    if (!file.place || !file.download || !file.file->chunked) continue;
    const std::map<std::string, uint64_t> onDisk = ChunksOf(file, earlier);
    RebuildPlan plan;
    plan.chunkFolder = folder;
    std::set<size_t> waits;
    std::set<std::string> mine;
    std::vector<const BuildChunk*> missing;
    for (const BuildChunk& chunk : file.file->chunks) {
      const std::string key = KeyOf(chunk.sha256, chunk.size);
      ChunkPiece piece{&chunk, false, 0};
      if (const auto old = onDisk.find(key); old != onDisk.end()) {
        piece.fromOld = true;
        piece.oldOffset = old->second;
      } else if (const auto other = fetchedBy.find(key); other != fetchedBy.end()) {
        waits.insert(other->second);
      } else if (!VendraPlatform::FileExists(ChunkPath(folder, chunk.sha256)) &&
                 mine.insert(key).second) {
        missing.push_back(&chunk);
        plan.fetchSize += chunk.compressedSize;
      }
      plan.pieces.push_back(piece);
    }
    // A file that changed throughout, or that has nothing to reuse (a new
    // file, a cold install), comes whole, in one stream.
    const bool reuses = std::any_of(plan.pieces.begin(), plan.pieces.end(),
                                    [](const ChunkPiece& piece) { return piece.fromOld; });
    if (!reuses || plan.fetchSize > file.file->compressedSize) continue;
    for (const std::string& key : mine) fetchedBy.emplace(key, i);
    plan.runs = Runs(std::move(missing), folder);
    plan.waitsFor.assign(waits.begin(), waits.end());
    // Made inside the version's cache folder, which passed the trust rule.
    if (!plan.runs.empty() && VendraPlatform::CreateFolderInside(downloads, folder) != 0)
      continue;
    file.download = !plan.runs.empty();
    file.rebuild = std::make_shared<RebuildPlan>(std::move(plan));
  }
}

uint64_t FetchSize(const FileWork& work) {
  if (!work.download) return 0;
  return work.rebuild ? work.rebuild->fetchSize : work.file->compressedSize;
}

eVClientResult WriteRebuilt(const RebuildPlan& plan, const std::u16string& oldPath,
                            VendraPlatform::File& output, VendraClient::Expansion& written,
                            std::u16string& error) {
  VendraPlatform::File old;
  VendraClient::Sha256State digest;
  VendraClient::Sha256Start(digest);
  std::string buffer;
  for (const ChunkPiece& piece : plan.pieces) {
    const uint8_t* bytes = nullptr;
    Vendra::RefPtr<VendraClient::VBuffer> kept;
    if (piece.fromOld) {
      uint32_t failed = old.IsOpen() ? 0 : old.OpenForReading(oldPath);
      if (failed == 0) failed = old.Seek(piece.oldOffset);
      buffer.resize(piece.chunk->size);
      size_t got = 0;
      size_t read = 0;
      while (failed == 0 && got < buffer.size() &&
             (failed = old.Read(buffer.data() + got, buffer.size() - got, read)) == 0 &&
             read != 0)
        got += read;
      if (failed != 0 || got != buffer.size()) {
        error = VendraText::Format(u"the installed %ls could not be read (system error %u)",
                                   oldPath, failed);
        return eVClientResult::Failed;
      }
      bytes = reinterpret_cast<const uint8_t*>(buffer.data());
    } else {
      if (!ReadKeptChunk(plan.chunkFolder, *piece.chunk, kept, error))
        return eVClientResult::Failed;
      bytes = kept->Data();
    }
    if (const uint32_t failed = output.Write(bytes, piece.chunk->size)) {
      written.writeError = failed;
      return eVClientResult::FileOpenFailed;
    }
    VendraClient::Sha256Add(digest, bytes, piece.chunk->size);
    written.size += piece.chunk->size;
  }
  VendraClient::Sha256Text(digest, written.sha256);
  return eVClientResult::Success;
}

}  // namespace VendraBuild
