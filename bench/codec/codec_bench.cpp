// InflateFile of a 64 MiB file against zlib's one-shot uncompress of the same
// bytes in memory: what reading the ".z" file and writing the result cost on
// top of the expansion itself. Peak memory is taken from a copy of the program
// that does nothing but one InflateFile.
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/text/utf.h"
#include "install/codec.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

constexpr size_t kExpandedBytes = size_t(64) << 20;
constexpr int kRounds = 5;

// Something like a build: text (sources, manifests), machine code, and some
// already-compressed media.
std::vector<uint8_t> Sample() {
  static const char* const kWords[] = {"install", "version", "file", "the", "of", "buffer",
                                       "return", "struct", "size", "error", "void", "data",
                                       "const", "live", "build", "sha256", "\n", "    ", "{", "}"};
  std::vector<uint8_t> bytes;
  bytes.reserve(kExpandedBytes);
  uint64_t x = 0x9e3779b97f4a7c15ull;
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  while (bytes.size() < kExpandedBytes) {
    const uint64_t kind = next() % 10;
    const size_t run = 4096 + next() % 65536;
    if (kind < 5) {
      for (size_t n = 0; n < run;) {
        const char* word = kWords[next() % (sizeof kWords / sizeof *kWords)];
        const size_t len = std::strlen(word);
        bytes.insert(bytes.end(), word, word + len);
        bytes.push_back(' ');
        n += len + 1;
      }
    } else if (kind < 9) {
      // Instruction-like bytes: a small alphabet of opcodes and short
      // operands, little entropy per byte.
      static const uint8_t kOps[] = {0x48, 0x89, 0x8b, 0xe8, 0xc3, 0x0f, 0x85, 0x74, 0xff, 0x00};
      for (size_t n = 0; n < run; ++n) {
        const uint64_t r = next();
        bytes.push_back((r & 3) ? kOps[r % sizeof kOps] : static_cast<uint8_t>(r >> 8));
      }
    } else {
      for (size_t n = 0; n < run; ++n) bytes.push_back(static_cast<uint8_t>(next()));
    }
  }
  bytes.resize(kExpandedBytes);
  return bytes;
}

double PeakRssMib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return -1;
}

// Processor time of this process (file system work in the kernel included),
// so that other work on a shared machine does not count.
double Seconds(std::clock_t start) { return double(std::clock() - start) / CLOCKS_PER_SEC; }

// The copy that measures memory: one InflateFile, then its peak.
int MemoryHalf(const std::u16string& z, uint32_t size, const std::u16string& out) {
  int32_t outputSize = 0;
  std::u16string error;
  if (VendraClient::InflateFile(z, size, out, outputSize, error) !=
      VendraClient::eVClientResult::Success) {
    std::fprintf(stderr, "%s\n", VendraText::Utf16ToUtf8(error).c_str());
    return 1;
  }
  std::printf("%.1f\n", PeakRssMib());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--memory-half") == 0)
    return MemoryHalf(VendraText::Utf8ToUtf16(argv[2]),
                      static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)),
                      VendraText::Utf8ToUtf16(argv[4]));

  const std::u16string folder = VendraPlatform::TempFolder();
  std::u16string z, out;
  if (VendraPlatform::CreateTempFile(folder, u"codec", z) != 0 ||
      VendraPlatform::CreateTempFile(folder, u"codec", out) != 0) {
    std::fprintf(stderr, "cannot create the sample files\n");
    return 1;
  }

  std::string compressed;
  {
    const std::vector<uint8_t> original = Sample();
    uLongf size = compressBound(original.size());
    compressed.resize(size);
    compress2(reinterpret_cast<Bytef*>(compressed.data()), &size, original.data(),
              original.size(), 6);
    compressed.resize(size);
  }
  {
    VendraPlatform::File file;
    if (file.CreateForWriting(z) != 0 || file.Write(compressed.data(), compressed.size()) != 0)
      return 1;
  }
  std::printf("sample: %zu MiB expanded, %.1f MiB compressed\n", kExpandedBytes >> 20,
              compressed.size() / 1048576.0);

  // Both sides get a fresh output block each time, as a real expansion does.
  double bestFile = 0, bestMemory = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::clock_t start = std::clock();
    int32_t outputSize = 0;
    std::u16string error;
    if (VendraClient::InflateFile(z, kExpandedBytes, out, outputSize, error) !=
            VendraClient::eVClientResult::Success ||
        outputSize != static_cast<int32_t>(kExpandedBytes)) {
      std::fprintf(stderr, "InflateFile failed: %s\n", VendraText::Utf16ToUtf8(error).c_str());
      return 1;
    }
    bestFile = std::max(bestFile, kExpandedBytes / Seconds(start) / 1e6);

    start = std::clock();
    std::unique_ptr<Bytef[]> target(new Bytef[kExpandedBytes]);
    uLongf targetSize = kExpandedBytes;
    if (uncompress(target.get(), &targetSize, reinterpret_cast<const Bytef*>(compressed.data()),
                   compressed.size()) != Z_OK)
      return 1;
    target.reset();
    bestMemory = std::max(bestMemory, kExpandedBytes / Seconds(start) / 1e6);
  }
  std::printf("InflateFile:         %8.1f MB/s of output\n", bestFile);
  std::printf("uncompress (memory): %8.1f MB/s of output\n", bestMemory);

  const std::string self = VendraText::Utf16ToUtf8(VendraPlatform::ModuleFileName());
  const std::string results = VendraText::Utf16ToUtf8(out) + ".peak";
  const std::string command = "'" + self + "' --memory-half '" + VendraText::Utf16ToUtf8(z) +
                              "' " + std::to_string(kExpandedBytes) + " '" +
                              VendraText::Utf16ToUtf8(out) + "' > '" + results + "'";
  const int status = std::system(command.c_str());
  double peak = -1;
  std::ifstream(results) >> peak;
  VendraPlatform::DeleteFile(VendraText::Utf8ToUtf16(results));
  VendraPlatform::DeleteFile(z);
  VendraPlatform::DeleteFile(out);
  if (status != 0 || peak < 0) {
    std::fprintf(stderr, "the memory half failed\n");
    return 1;
  }
  const double budget = (compressed.size() + kExpandedBytes) / 1048576.0 + 16;
  std::printf("InflateFile peak memory %.1f MiB (budget %.1f MiB)\n", peak, budget);
  std::printf("ratio inflatefile_vs_uncompress %.3f\n", bestFile / bestMemory);
  std::printf("peak_rss_mib %.1f\n", peak);
  return 0;
}
