#include "install/build_file_list.h"

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "install/build_file_entry.h"
#include "json/array.h"
#include "json/object.h"
#include "json/type_names.h"
#include "platform/paths.h"

namespace VendraClient {

namespace {

// length hexadecimal digits; the members of chunks are lower-case only.
bool IsHexText(const std::string& text, size_t length, bool upperCaseToo) {
  if (text.size() != length) return false;
  for (const char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
                     (upperCaseToo && c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

// A zlib stream of n bytes is never much longer than n (deflate's stored
// blocks add five bytes per 16 KiB, the stream's frame a few more).
uint64_t LongestStream(uint64_t size) { return size + size / 1024 + 64; }
// Offsets into a pack stay far below what any sum of them could overflow.
constexpr int64_t kFarthestOffset = int64_t(1) << 48;

// Reads one chunk; the fault, or an empty text.
std::u16string ReadChunk(const VendraJSON::VSJObject* entry, bool last, BuildChunk& chunk) {
  int64_t offset = -1;
  if (!entry->GetStringA(u"sha256", chunk.sha256) || !IsHexText(chunk.sha256, 64, false))
    return u"has no SHA-256 (64 lower-case hexadecimal digits)";
  if (!entry->GetUInt(u"size", chunk.size) || chunk.size == 0 || chunk.size > kLargestBuildChunk ||
      (!last && chunk.size < kSmallestBuildChunk))
    return u"has a size outside the chunk limits";
  if (!entry->GetUInt(u"compressed_size", chunk.compressedSize) || chunk.compressedSize == 0 ||
      chunk.compressedSize > LongestStream(chunk.size))
    return u"has a compressed size no chunk of its size has";
  if (!entry->GetStringA(u"pack", chunk.pack) || !IsHexText(chunk.pack, 32, false))
    return u"names no pack (32 lower-case hexadecimal digits)";
  if (!entry->GetInteger(u"offset", offset) || offset < 0 || offset > kFarthestOffset)
    return u"has no offset in its pack";
  chunk.offset = static_cast<uint64_t>(offset);
  return u"";
}

// Reads the file's "chunks", when it has them; the fault, or an empty text.
std::u16string ReadChunks(const VendraJSON::VSJObject* entry, BuildFile& file) {
  Vendra::RefPtr<VendraJSON::VSJValue> member;
  if (!entry->Get(u"chunks", member.Receive())) return u"";
  Vendra::RefPtr<VendraJSON::VSJArray> list;
  if (!entry->GetArray(u"chunks", list.Receive()))
    return VendraText::Format(u"\"%ls\" has a \"chunks\" member that is no list", file.name);
  file.chunked = true;
  // Each chunk holds at least one byte: more than the file has bytes is
  // a fault before anything is reserved for them.
  if (list->Count() > file.size)
    return VendraText::Format(u"\"%ls\" has more chunks than bytes", file.name);
  file.chunks.resize(list->Count());
  uint64_t total = 0;
  for (size_t i = 0; i < list->Count(); ++i) {
    const Vendra::RefPtr<VendraJSON::VSJObject> chunk = EntryAt(list.get(), i);
    const std::u16string fault = chunk ? ReadChunk(chunk.get(), i + 1 == list->Count(),
                                                   file.chunks[i])
                                       : u"is not an object";
    if (!fault.empty())
      return VendraText::Format(u"\"%ls\" chunk %u %ls", file.name,
                                static_cast<unsigned>(i + 1), fault);
    total += file.chunks[i].size;
  }
  if (total != file.size)
    return VendraText::Format(u"\"%ls\" has chunks of %llu bytes in all, not its %llu",
                              file.name, static_cast<unsigned long long>(total),
                              static_cast<unsigned long long>(file.size));
  return u"";
}

// Reads one entry into file; the fault, or an empty text.
std::u16string ReadEntry(const VendraJSON::VSJObject* entry, BuildFile& file) {
  if (!entry->GetString(u"filename", file.name) || file.name.empty())
    return u"has no \"filename\"";
  if (!VendraPlatform::IsContainedRelativePath(file.name))
    return VendraText::Format(u"\"%ls\" would reach outside the install folder", file.name);
  for (auto [member, size] : {std::pair{u"size", &file.size},
                              std::pair{u"compressed_size", &file.compressedSize}}) {
    uint32_t number = 0;
    if (!entry->GetUInt(member, number))
      return VendraText::Format(u"\"%ls\" has no number \"%ls\"", file.name, member);
    *size = number;
  }
  for (auto [member, digest] : {std::pair{u"sha256", &file.sha256},
                                std::pair{u"compressed_sha256", &file.compressedSha256}}) {
    if (!entry->GetStringA(member, *digest) || !IsHexText(*digest, 64, true))
      return VendraText::Format(u"\"%ls\" has no SHA-256 \"%ls\"", file.name, member);
  }
  Vendra::RefPtr<VendraJSON::VSJValue> flag;
  file.isSigned = entry->Get(u"signed", flag.Receive()) && flag->GetType() == VendraJSON::kTypeTrue;
  return ReadChunks(entry, file);
}

}  // namespace

std::u16string BuildFile::PathIn(std::u16string_view folder, std::u16string_view suffix) const {
  std::u16string path = VendraPlatform::PathAppend(folder, name);
  path.append(suffix);
  return path;
}

std::optional<BuildFileList> CheckedBuildFileList(const VendraJSON::VSJObject* build,
                                                  const std::string& buildName,
                                                  std::u16string& error) {
  Vendra::RefPtr<VendraJSON::VSJObject> data;
  Vendra::RefPtr<VendraJSON::VSJArray> files;
  if (!build->GetObject(u"data", data.Receive()) || !data->GetArray(u"files", files.Receive())) {
    error = VendraText::Format(
        u"The service's build %hs has no file list (\"data\".\"files\"); nothing was changed",
        buildName);
    return std::nullopt;
  }
  if (files->Count() == 0) {
    error = VendraText::Format(u"The service's build %hs lists no files; nothing was changed",
                               buildName);
    return std::nullopt;
  }
  BuildFileList list(files->Count());
  for (size_t i = 0; i < files->Count(); ++i) {
    const Vendra::RefPtr<VendraJSON::VSJObject> entry = EntryAt(files.get(), i);
    const std::u16string fault = entry ? ReadEntry(entry.get(), list[i]) : u"is not an object";
    if (!fault.empty()) {
      error = VendraText::Format(
          u"The service's build %hs has a malformed file list: entry %u %ls; nothing was changed",
          buildName, static_cast<unsigned>(i + 1), fault);
      return std::nullopt;
    }
  }
  return list;
}

}  // namespace VendraClient
