#include "install/codec.h"

#include <zlib.h>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "install/crt_error.h"
#include "install/sha256.h"
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

std::string DigestOf(const VBuffer& buffer) {
  Sha256State state;
  Sha256Start(state);
  Sha256Add(state, buffer.Data(), static_cast<size_t>(buffer.Size()));
  std::string text;
  Sha256Text(state, text);
  return text;
}

bool SameDigest(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Compares bytes held in memory (so what is checked is what gets written)
// with an expected size and digest; the text says which file and how.
bool Matches(const VBuffer& bytes, uint32_t size, const std::string& sha256, const char16_t* what,
             const std::u16string& path, std::u16string& error) {
  if (size != 0 && static_cast<uint32_t>(bytes.Size()) != size) {
    error = VendraText::Format(u"%ls %ls is %d bytes where %u were expected", what, path,
                               bytes.Size(), size);
    return false;
  }
  if (sha256.empty()) return true;
  const std::string actual = DigestOf(bytes);
  if (SameDigest(actual, sha256)) return true;
  error = VendraText::Format(u"%ls %ls has SHA-256 %hs where %hs was expected", what, path,
                             actual.c_str(), sha256.c_str());
  return false;
}

// Puts bytes in place of path through a new file beside it.
eVClientResult PlaceBytes(const BufferRef& bytes, const ExpectedFile& target, bool inflating,
                          std::u16string& error) {
  if (target.within.empty()) {
    uint32_t ignored = 0;
    VendraPlatform::CreateLocalPath(target.path, ignored);
  }
  VendraPlatform::NewFile file;
  const uint32_t created = file.Create(target.within, target.path);
  uint32_t err = created;
  if (created == VendraPlatform::kOutsideFolder) {
    error = VendraText::Format(u"Refused to write %ls: its folder leads outside %ls", target.path,
                               target.within.empty() ? std::u16string(u"its own folder")
                                                     : target.within);
    return eVClientResult::Failed;
  }
  if (err == 0) err = file.Output().Write(bytes->Data(), static_cast<size_t>(bytes->Size()));
  if (err == 0) err = file.Place(target.executable);
  if (err == 0) return eVClientResult::Success;
  file.Discard();
  // Only the opening has a runtime error number: a write that stops part-way
  // reports 0, as the runtime's writer does.
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

eVClientResult ExpandVerified(const std::u16string& compressedPath, const ExpectedFile& expected,
                              int32_t& outputSize, std::u16string& error) {
  outputSize = 0;
  BufferRef compressed = BufferRef::Adopt(new VBuffer());
  // A file that cannot be opened or read in full leaves nothing to expand,
  // which fails as damaged data.
  const bool read = compressed->ReadFromFile(compressedPath);
  if (!read) compressed->Resize(0);
  if (read && !Matches(*compressed, expected.compressedSize, expected.compressedSha256, u"The download",
               compressedPath, error))
    return eVClientResult::VerifyFailed;
  BufferRef expanded;
  const eVClientResult inflated =
      InflateBuffer(compressed.get(), expected.size, expanded.Receive(), error);
  compressed.Reset();
  if (inflated != eVClientResult::Success) return inflated;
  if (!Matches(*expanded, expected.sha256.empty() ? 0 : expected.size, expected.sha256,
               u"The file expanded for", expected.path, error))
    return eVClientResult::VerifyFailed;
  const eVClientResult written = PlaceBytes(expanded, expected, true, error);
  if (written == eVClientResult::Success) outputSize = expanded->Size();
  return written;
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
  ExpectedFile target;
  target.path = outputPath;
  const eVClientResult written = PlaceBytes(compressed, target, false, error);
  if (written == eVClientResult::Success) compressedSize = compressed->Size();
  return written;
}

}  // namespace VendraClient
