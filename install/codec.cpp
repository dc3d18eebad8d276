#include "install/codec.h"

#include <zlib.h>

#include <memory>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/crt_error.h"
#include "install/place_expanded.h"
#include "install/sha256.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/new_file.h"
#include "platform/sys_error.h"

namespace VendraClient {
namespace {

using BufferRef = Vendra::RefPtr<VBuffer>;

// Room for a stream of size bytes at the given size: enough for anything
// deflate can produce, and never less than the traditional 2048 bytes of
// slack. Zero when it does not fit a 32-bit size.
int32_t StreamRoom(z_stream& stream, int32_t size) {
  const uint64_t bound = deflateBound(&stream, static_cast<uLong>(size));
  const uint64_t slack = uint64_t(size) + 2048;
  const uint64_t room = bound > slack ? bound : slack;
  return room > INT32_MAX ? 0 : static_cast<int32_t>(room);
}

// The text and code of a new file that could not be made, written or put in
// place. The opening and the final rename have a runtime error number; a
// write that stops part-way (its flush included) reports 0, as the runtime's
// writer does.
eVClientResult WriteFailure(uint32_t created, bool inflating, std::u16string& error) {
  const int errorNumber = CrtErrorNumber(created);
  if (errorNumber == kCrtAccessDenied) {
    error = inflating ? u"Inflate: WriteFile failed due to lack of permissions. Elevated "
                        u"permissions required?"
                      : u"Deflate: WriteFile failed due to lack of permissions. Elevated "
                        u"permissions required?";
    return eVClientResult::AccessDenied;
  }
  error = VendraText::Format(
      inflating ? u"Inflate: WriteFile failed; err=%d" : u"Deflate: WriteFile failed; err=%d",
      errorNumber);
  return eVClientResult::Failed;
}

// Puts bytes in place of path through a new file beside it. Its data reaches
// the disk first, so that what fails after that is the rename alone,
// reported with its own error (a folder in the target's place is access
// denied).
eVClientResult PlaceBytes(const BufferRef& bytes, const std::u16string& path,
                          std::u16string& error) {
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  VendraPlatform::NewFile file;
  if (const uint32_t created = file.Create(u"", path)) return WriteFailure(created, false, error);
  if (file.Output().Write(bytes->Data(), static_cast<size_t>(bytes->Size())) != 0 ||
      file.Finish() != 0)
    return WriteFailure(0, false, error);
  if (const uint32_t err = file.Place()) return WriteFailure(err, false, error);
  return eVClientResult::Success;
}

// The ".z" file is read and expanded in blocks of these sizes: memory stays
// a few MiB whatever the file's size, and the blocks are large enough that
// the calls around zlib cost nothing next to the expansion.
constexpr size_t kReadBlock = size_t(1) << 20;
constexpr size_t kExpandBlock = size_t(4) << 20;

// Checks the ".z" file against the expected size and digest, reading it in
// blocks; the text says how it differs.
bool DownloadMatches(const std::u16string& path, const ExpectedFile& expected,
                     std::u16string& error) {
  if (expected.compressedSize == 0 && expected.compressedSha256.empty()) return true;
  VendraPlatform::File input;
  // Unreadable: left for the expansion, which fails it as damaged data.
  if (input.OpenForReading(path) != 0) return true;
  Sha256State state;
  Sha256Start(state);
  std::unique_ptr<uint8_t[]> block(new uint8_t[kReadBlock]);
  uint64_t total = 0;
  size_t got = 0;
  while (input.Read(block.get(), kReadBlock, got) == 0 && got != 0) {
    Sha256Add(state, block.get(), got);
    total += got;
  }
  if (expected.compressedSize != 0 && total != expected.compressedSize) {
    error = VendraText::Format(u"The download %ls is %d bytes where %u were expected", path,
                               static_cast<int32_t>(total), expected.compressedSize);
    return false;
  }
  if (expected.compressedSha256.empty()) return true;
  std::string actual;
  Sha256Text(state, actual);
  if (VendraText::EqualsIgnoreAsciiCase(actual, expected.compressedSha256)) return true;
  error = VendraText::Format(u"The download %ls has SHA-256 %hs where %hs was expected", path,
                             actual.c_str(), expected.compressedSha256.c_str());
  return false;
}

// The library's words for where placing the file stopped.
eVClientResult PlacementFailure(const PlacementResult& placed, const ExpectedFile& expected,
                                std::u16string& error) {
  switch (placed.step) {
    case PlacementStep::Placed:
      return eVClientResult::Success;
    case PlacementStep::Create:
      if (placed.systemError != VendraPlatform::kOutsideFolder)
        return WriteFailure(placed.systemError, true, error);
      error = OutsideFolderText(expected.path, expected.within);
      return eVClientResult::Failed;
    case PlacementStep::Expand:
      error = placed.expandError;
      return eVClientResult::Failed;
    case PlacementStep::Content:
      if (placed.written.size != expected.size) {
        error = VendraText::Format(u"The file expanded for %ls is %d bytes where %u were expected",
                                   expected.path, static_cast<int32_t>(placed.written.size),
                                   expected.size);
        return eVClientResult::VerifyFailed;
      }
      error = VendraText::Format(
          u"The file expanded for %ls has SHA-256 %hs where %hs was expected", expected.path,
          placed.written.sha256.c_str(), expected.sha256.c_str());
      return eVClientResult::VerifyFailed;
    case PlacementStep::Rename:
      return WriteFailure(placed.systemError, true, error);
    case PlacementStep::Write:
    case PlacementStep::MoveAside:
      break;
  }
  // A write that stops part-way, its push to the disk included.
  return WriteFailure(0, true, error);
}

}  // namespace

eVClientResult InflateBuffer(VBuffer* input, uint32_t expectedSize, VBuffer** output,
                             std::u16string& error) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) {
    error = u"inflateInit failed";
    return eVClientResult::Failed;
  }
  // The expected size comes from a manifest; one that cannot be held in
  // memory (or in a 32-bit size) is a clean failure.
  BufferRef expanded = BufferRef::Adopt(new VBuffer());
  if (expectedSize > INT32_MAX || !expanded->Resize(static_cast<int32_t>(expectedSize))) {
    inflateEnd(&stream);
    error = VendraText::Format(u"inflate failed: %u bytes do not fit in memory", expectedSize);
    return eVClientResult::Failed;
  }
  stream.next_in = input ? input->Data() : nullptr;
  stream.avail_in = input && stream.next_in ? static_cast<uInt>(input->Size()) : 0;
  stream.next_out = expanded->Data();
  stream.avail_out = expectedSize;
  const int answer = inflate(&stream, Z_FINISH);
  inflateEnd(&stream);
  if (answer != Z_STREAM_END && answer != Z_OK) {
    error = u"inflate failed";
    return eVClientResult::Failed;
  }
  expanded->Resize(static_cast<int32_t>(stream.total_out));
  *output = expanded.Detach();
  return eVClientResult::Success;
}

eVClientResult DeflateBuffer(int32_t level, VBuffer* input, VBuffer** output,
                             std::u16string& error) {
  z_stream stream{};
  if (deflateInit(&stream, level) != Z_OK) {
    error = u"deflateInit failed";
    return eVClientResult::Failed;
  }
  const int32_t inputSize = input && input->Data() ? input->Size() : 0;
  const int32_t room = StreamRoom(stream, inputSize);
  BufferRef compressed = BufferRef::Adopt(new VBuffer());
  if (room == 0 || !compressed->Resize(room)) {
    deflateEnd(&stream);
    error = VendraText::Format(u"deflate failed: %d bytes do not fit in memory", inputSize);
    return eVClientResult::Failed;
  }
  stream.next_in = inputSize ? input->Data() : nullptr;
  stream.avail_in = static_cast<uInt>(inputSize);
  stream.next_out = compressed->Data();
  stream.avail_out = static_cast<uInt>(room);
  const int answer = deflate(&stream, Z_FINISH);
  deflateEnd(&stream);
  if (answer != Z_STREAM_END) {
    error = u"deflate failed";
    return eVClientResult::Failed;
  }
  compressed->Resize(static_cast<int32_t>(stream.total_out));
  *output = compressed.Detach();
  return eVClientResult::Success;
}

eVClientResult ExpandInto(const std::u16string& compressedPath, uint64_t limit,
                          StreamCheck check, VendraPlatform::File& output, Expansion& expansion,
                          std::u16string& error) {
  expansion = Expansion();
  error = kInflateFailed;
  VendraPlatform::File input;
  std::unique_ptr<uint8_t[]> in(new uint8_t[kReadBlock]);
  size_t got = 0;
  if (input.OpenForReading(compressedPath) != 0 || input.Read(in.get(), kReadBlock, got) != 0)
    return eVClientResult::Failed;
  z_stream stream{};
  stream.next_in = in.get();
  stream.avail_in = static_cast<uInt>(got);
  // Without the Adler-32 of the stream (a tenth of the expansion's time) the
  // deflate data is expanded raw: the zlib header is checked here and the
  // trailer's length at the end, and the caller's SHA-256 of the output
  // catches whatever the checksum would have.
  const bool raw = check == StreamCheck::CallerDigest;
  if (raw) {
    const bool header = got >= 2 && (in[0] & 0x0f) == Z_DEFLATED && (in[0] >> 4) <= 7 &&
                        (in[1] & 0x20) == 0 && ((in[0] << 8) | in[1]) % 31 == 0;
    if (!header) return eVClientResult::Failed;
    stream.next_in += 2;
    stream.avail_in -= 2;
  }
  if ((raw ? inflateInit2(&stream, -MAX_WBITS) : inflateInit(&stream)) != Z_OK)
    return eVClientResult::Failed;
  struct EndStream {
    z_stream& stream;
    ~EndStream() { inflateEnd(&stream); }
  } ending{stream};
  std::unique_ptr<uint8_t[]> out(new uint8_t[kExpandBlock]);
  Sha256State state;
  Sha256Start(state);
  int answer = Z_OK;
  while (answer != Z_STREAM_END) {
    if (stream.avail_in == 0) {
      if (input.Read(in.get(), kReadBlock, got) != 0 || got == 0) break;
      stream.next_in = in.get();
      stream.avail_in = static_cast<uInt>(got);
    }
    stream.next_out = out.get();
    stream.avail_out = static_cast<uInt>(kExpandBlock);
    answer = inflate(&stream, Z_NO_FLUSH);
    if (answer != Z_OK && answer != Z_STREAM_END) break;
    const size_t produced = kExpandBlock - stream.avail_out;
    // More than the manifest's size is a damaged (or hostile) stream.
    if (expansion.size + produced > limit) {
      answer = Z_DATA_ERROR;
      break;
    }
    Sha256Add(state, out.get(), produced);
    if (const uint32_t err = output.Write(out.get(), produced)) {
      expansion.writeError = err;
      error = u"Inflate: WriteFile failed";
      return eVClientResult::FileOpenFailed;
    }
    expansion.size += produced;
  }
  if (answer != Z_STREAM_END) return eVClientResult::Failed;
  if (raw) {
    // The four bytes of the checksum must be there; what follows them is
    // ignored, as it is by the checked expansion.
    uint64_t trailer = stream.avail_in;
    while (trailer < 4 && input.Read(in.get(), kReadBlock, got) == 0 && got != 0)
      trailer += got;
    if (trailer < 4) return eVClientResult::Failed;
  }
  Sha256Text(state, expansion.sha256);
  error.clear();
  return eVClientResult::Success;
}

eVClientResult ExpandVerified(const std::u16string& compressedPath, const ExpectedFile& expected,
                              int32_t& outputSize, std::u16string& error) {
  outputSize = 0;
  if (!DownloadMatches(compressedPath, expected, error)) return eVClientResult::VerifyFailed;
  Placement placement;
  placement.path = expected.path;
  placement.within = expected.within;
  placement.size = expected.size;
  placement.sha256 = expected.sha256;
  placement.executable = expected.executable;
  const PlacementResult placed = PlaceExpanded(compressedPath, placement);
  if (placed.step != PlacementStep::Placed) return PlacementFailure(placed, expected, error);
  outputSize = static_cast<int32_t>(placed.written.size);
  return eVClientResult::Success;
}

eVClientResult InflateFile(const std::u16string& compressedPath, uint32_t expectedSize,
                           const std::u16string& outputPath, int32_t& outputSize,
                           std::u16string& error) {
  ExpectedFile expected;
  expected.path = outputPath;
  expected.size = expectedSize;
  return ExpandVerified(compressedPath, expected, outputSize, error);
}

eVClientResult DeflateFile(int32_t level, const std::u16string& inputPath, int32_t& inputSize,
                           const std::u16string& outputPath, int32_t& compressedSize,
                           std::u16string& error) {
  inputSize = 0;
  compressedSize = 0;
  BufferRef original = BufferRef::Adopt(new VBuffer());
  bool opened = false;
  if (const uint32_t readError = original->LoadFile(inputPath, opened); opened && readError) {
    // Compressing part of a file would pass a damaged file off as whole.
    error = VendraText::Format(u"Deflate: ReadFile failed; err=%d", CrtErrorNumber(readError));
    return eVClientResult::Failed;
  }
  inputSize = original->Size();
  BufferRef compressed;
  const eVClientResult deflated =
      DeflateBuffer(level, original.get(), compressed.Receive(), error);
  original.Reset();
  if (deflated != eVClientResult::Success) return deflated;
  const eVClientResult written = PlaceBytes(compressed, outputPath, error);
  if (written == eVClientResult::Success) compressedSize = compressed->Size();
  return written;
}

}  // namespace VendraClient
