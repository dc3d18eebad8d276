#include "packagemanager/publisher/chunk_store.h"

#include <cstring>

#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/vbuffer.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/publisher/catalogue_file.h"
#include "platform/local_path.h"
#include "platform/paths.h"

namespace VendraCatalogue {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;

constexpr size_t kPackNameLength = 32;
constexpr char16_t kPackSuffix[] = u".pack";
constexpr char16_t kListSuffix[] = u".json";

std::string KeyOf(const std::string& sha256, uint32_t size) {
  return sha256 + ":" + std::to_string(size);
}

bool EndsWith(std::u16string_view text, std::u16string_view end) {
  return text.size() > end.size() && text.substr(text.size() - end.size()) == end;
}

bool IsPackName(std::u16string_view name) {
  if (name.size() != kPackNameLength) return false;
  for (char16_t c : name)
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
  return true;
}

}  // namespace

ChunkStore::~ChunkStore() {
  if (!partial_.empty()) {
    output_.Close();
    VendraPlatform::DeleteFile(partial_);
  }
}

bool ChunkStore::ReadPackList(const std::u16string& listPath, const std::string& name) {
  ObjectRef list = LoadCatalogueObject(listPath);
  Vendra::RefPtr<VSJArray> chunks;
  if (!list || !list->GetArray(u"chunks", chunks.Receive())) return false;
  uint64_t packSize = 0;
  const std::u16string packPath =
      VendraPlatform::PathAppend(folder_, VendraText::Utf8ToUtf16(name) + kPackSuffix);
  if (VendraPlatform::GetFileSize(packPath, packSize) != 0) return false;
  std::vector<StoredChunk> listed;
  for (size_t i = 0; i < chunks->Count(); ++i) {
    Vendra::RefPtr<VendraJSON::VSJValue> value;
    if (!chunks->At(i)->GetValue(value.Receive()) || value->GetType() != VendraJSON::kTypeObject)
      return false;
    const auto* entry = static_cast<const VSJObject*>(value.get());
    StoredChunk chunk;
    int64_t offset = -1;
    if (!entry->GetStringA(u"sha256", chunk.sha256) || !entry->GetUInt(u"size", chunk.size) ||
        !entry->GetUInt(u"compressed_size", chunk.compressedSize) ||
        !entry->GetInteger(u"offset", offset) || offset < 0 ||
        static_cast<uint64_t>(offset) + chunk.compressedSize > packSize)
      return false;
    chunk.offset = static_cast<uint64_t>(offset);
    chunk.pack = packs_.size();
    listed.push_back(std::move(chunk));
  }
  packs_.push_back(name);
  for (StoredChunk& chunk : listed) {
    const std::string key = KeyOf(chunk.sha256, chunk.size);
    known_.emplace(key, std::move(chunk));
  }
  return true;
}

bool ChunkStore::Open(const std::u16string& root, const std::string& product,
                      std::u16string& error) {
  folder_ = VendraPlatform::PathAppend(
      root, VendraText::Format(u"chunks\\%hs", VendraText::Utf8ToUtf16(product)));
  uint32_t folderError = 0;
  if (!VendraPlatform::CreateLocalPath(VendraPlatform::PathAppend(folder_, u"x"), folderError)) {
    error = VendraText::Format(u"cannot create the folder %ls (system error %u)", folder_,
                               folderError);
    return false;
  }
  std::vector<VendraPlatform::FolderEntry> entries;
  if (const uint32_t listError = VendraPlatform::ListFolder(folder_, entries)) {
    error = VendraText::Format(u"cannot read the folder %ls (system error %u)", folder_,
                               listError);
    return false;
  }
  // A list the store cannot read describes no pack it may point into.
  for (const auto& entry : entries) {
    const std::u16string_view name = entry.name;
    if (entry.isFolder || !EndsWith(name, kListSuffix)) continue;
    const std::u16string_view pack = name.substr(0, name.size() - 5);
    if (!IsPackName(pack)) continue;
    ReadPackList(VendraPlatform::PathAppend(folder_, entry.name),
                 VendraText::Utf16ToUtf8(std::u16string(pack)));
  }
  packs_.emplace_back();  // the new pack's, named by Finish
  return true;
}

bool ChunkStore::Store(const VendraChunks::Chunk& chunk, const uint8_t* bytes,
                       StoredChunk& stored, std::u16string& error) {
  stored.sha256 = chunk.sha256;
  stored.size = chunk.size;
  if (const auto known = known_.find(KeyOf(chunk.sha256, chunk.size)); known != known_.end()) {
    stored = known->second;
    return true;
  }
  if (partial_.empty()) {
    if (VendraPlatform::CreateTempFile(folder_, u"new-pack-", partial_) != 0 ||
        output_.CreateForWriting(partial_) != 0) {
      error = VendraText::Format(u"cannot create a new chunk pack in %ls", folder_);
      return false;
    }
    VendraClient::Sha256Start(packDigest_);
  }
  Vendra::RefPtr<VendraClient::VBuffer> input =
      Vendra::RefPtr<VendraClient::VBuffer>::Adopt(new VendraClient::VBuffer());
  Vendra::RefPtr<VendraClient::VBuffer> compressed;
  std::u16string codecError = u"out of memory";
  if (input->Resize(static_cast<int32_t>(chunk.size)) != nullptr)
    std::memcpy(input->Data(), bytes, chunk.size);
  if (input->Size() != static_cast<int32_t>(chunk.size) ||
      VendraClient::DeflateBuffer(VendraClient::kBuildCompressionLevel, input.get(),
                                  compressed.Receive(),
                                  codecError) != VendraClient::eVClientResult::Success) {
    error = VendraText::Format(u"cannot compress a chunk: %ls", codecError);
    return false;
  }
  const size_t length = static_cast<size_t>(compressed->Size());
  if (const uint32_t writeError = output_.Write(compressed->Data(), length)) {
    error = VendraText::Format(u"cannot write the chunk pack %ls (system error %u)", partial_,
                               writeError);
    return false;
  }
  VendraClient::Sha256Add(packDigest_, compressed->Data(), length);
  stored.compressedSize = static_cast<uint32_t>(length);
  stored.pack = packs_.size() - 1;
  stored.offset = packSize_;
  packSize_ += length;
  known_.emplace(KeyOf(stored.sha256, stored.size), stored);
  added_.push_back(stored);
  return true;
}

bool ChunkStore::AddFile(const std::u16string& path, uint64_t size, const std::string& sha256,
                         std::vector<StoredChunk>& chunks, std::u16string& error) {
  chunks.clear();
  const VendraChunks::ChunkedInput input = VendraChunks::ChunkFile(
      path, VendraChunks::kBuildChunkLimits,
      [&](const VendraChunks::Chunk& chunk, const uint8_t* bytes) {
        chunks.emplace_back();
        return Store(chunk, bytes, chunks.back(), error);
      });
  if (input.stopped) return false;
  if (input.readError != 0) {
    error = VendraText::Format(u"cannot read %ls to cut it into chunks (system error %u)", path,
                               input.readError);
    return false;
  }
  // The chunks must rebuild the very file the build lists.
  if (input.size != size || input.sha256 != sha256) {
    error = VendraText::Format(u"%ls changed while it was being published", path);
    return false;
  }
  return true;
}

bool ChunkStore::Finish(std::u16string& error) {
  if (partial_.empty()) return true;
  std::string digest;
  VendraClient::Sha256Text(packDigest_, digest);
  const std::string name = digest.substr(0, kPackNameLength);
  const std::u16string base = VendraPlatform::PathAppend(folder_, VendraText::Utf8ToUtf16(name));
  // The pack's bytes reach the disk before its name says it is whole.
  uint32_t failed = output_.Flush();
  if (const uint32_t closed = output_.Close(); failed == 0) failed = closed;
  if (failed == 0) failed = VendraPlatform::MoveFileReplacing(partial_, base + kPackSuffix);
  if (failed != 0) {
    error = VendraText::Format(u"cannot write the chunk pack %ls (system error %u)",
                               base + kPackSuffix, failed);
    return false;
  }
  partial_.clear();
  packs_.back() = name;
  auto list = ObjectRef::Adopt(VSJObject::Create());
  auto chunks = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const StoredChunk& chunk : added_) {
    auto entry = ObjectRef::Adopt(VSJObject::Create());
    entry->SetStringA(u"sha256", chunk.sha256);
    entry->SetInteger(u"size", chunk.size);
    entry->SetInteger(u"compressed_size", chunk.compressedSize);
    entry->SetInteger(u"offset", static_cast<int64_t>(chunk.offset));
    chunks->Append(entry.get());
  }
  list->Set(u"chunks", chunks.get());
  std::string text;
  list->WriteJSONA(text, false, 0, "\n");
  if (const uint32_t written =
          VendraPlatform::WriteFileAtomically(base + kListSuffix, text)) {
    error = VendraText::Format(u"cannot write %ls (system error %u)", base + kListSuffix,
                               written);
    return false;
  }
  return true;
}

Vendra::RefPtr<VSJArray> ChunkStore::ListOf(const std::vector<StoredChunk>& chunks) const {
  auto list = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  list->Reserve(chunks.size());
  for (const StoredChunk& chunk : chunks) {
    auto entry = ObjectRef::Adopt(VSJObject::Create());
    entry->SetStringA(u"sha256", chunk.sha256);
    entry->SetInteger(u"size", chunk.size);
    entry->SetInteger(u"compressed_size", chunk.compressedSize);
    entry->SetStringA(u"pack", packs_[chunk.pack]);
    entry->SetInteger(u"offset", static_cast<int64_t>(chunk.offset));
    list->Append(entry.get());
  }
  return list;
}

}  // namespace VendraCatalogue
