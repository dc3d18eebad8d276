// SHA-256 throughput against OpenSSL's, in memory (64 MiB) and over a file
// (256 MiB). The SHA-extension routine is measured against OpenSSL as it
// stands. The routine the product takes on a processor without SHA
// extensions (AVX2 where the processor has it, else the portable one) is
// measured against OpenSSL with its SHA extensions switched off, which
// OpenSSL only allows at start-up: the program runs a copy of itself with
// OPENSSL_ia32cap set for that half. The portable routine is measured there
// too, for reference.
#include <openssl/evp.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/text/utf.h"
#include "install/file_digest.h"
#include "install/sha256.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace {

using VendraClient::Sha256Path;

constexpr size_t kMemoryBytes = size_t(64) << 20;
constexpr size_t kFileBytes = size_t(256) << 20;
constexpr size_t kPiece = size_t(1) << 20;
constexpr int kRounds = 5;

std::vector<uint8_t> Sample(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint64_t x = 0x2545f4914f6cdd1dull;
  for (uint8_t& b : bytes) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<uint8_t>(x);
  }
  return bytes;
}

std::string OurMemory(Sha256Path path, const std::vector<uint8_t>& bytes) {
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state, path);
  VendraClient::Sha256Add(state, bytes.data(), bytes.size());
  std::string text;
  VendraClient::Sha256Text(state, text);
  return text;
}

std::string Hex(const unsigned char* digest, unsigned size) {
  std::string text;
  char two[3];
  for (unsigned i = 0; i < size; ++i) {
    std::snprintf(two, sizeof two, "%02x", digest[i]);
    text += two;
  }
  return text;
}

std::string OpenSslMemory(const std::vector<uint8_t>& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
  return Hex(digest, size);
}

// The same reading pattern as GetFileDigest: 1 MiB pieces through the
// platform's file.
std::string OpenSslFile(const std::u16string& path) {
  VendraPlatform::File file;
  if (file.OpenForReading(path) != 0) return {};
  std::vector<uint8_t> piece(kPiece);
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
  size_t got = 0;
  while (file.Read(piece.data(), piece.size(), got) == 0 && got != 0)
    EVP_DigestUpdate(context, piece.data(), got);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned size = 0;
  EVP_DigestFinal_ex(context, digest, &size);
  EVP_MD_CTX_free(context);
  return Hex(digest, size);
}

std::string OurFile(Sha256Path path, const std::u16string& file) {
  std::string text;
  VendraClient::GetFileDigest(file, text, path);
  return text;
}

// Best of kRounds, in MB/s (10^6 bytes per second of this process's processor
// time, so that other work on a shared machine does not count). The two
// contenders take turns; their digests must agree.
struct Pair {
  double ours = 0;
  double reference = 0;
};

Pair Race(size_t bytes, const std::function<std::string()>& ours,
          const std::function<std::string()>& reference) {
  Pair best;
  std::string agreed;
  for (int round = 0; round < kRounds; ++round) {
    for (int who = 0; who < 2; ++who) {
      const std::clock_t start = std::clock();
      const std::string digest = who == 0 ? ours() : reference();
      const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
      if (agreed.empty()) agreed = digest;
      if (digest.empty() || digest != agreed) {
        std::fprintf(stderr, "digests disagree\n");
        std::exit(2);
      }
      double& slot = who == 0 ? best.ours : best.reference;
      slot = std::max(slot, double(bytes) / seconds / 1e6);
    }
  }
  return best;
}

std::u16string MakeFile() {
  std::u16string path;
  if (VendraPlatform::CreateTempFile(VendraPlatform::TempFolder(), u"hash", path) != 0) return {};
  VendraPlatform::File file;
  if (file.CreateForWriting(path) != 0) return {};
  const std::vector<uint8_t> block = Sample(kPiece);
  for (size_t written = 0; written < kFileBytes; written += block.size()) {
    std::vector<uint8_t> varied = block;
    std::memcpy(varied.data(), &written, sizeof written);
    if (file.Write(varied.data(), varied.size()) != 0) return {};
  }
  return path;
}

// One routine against OpenSSL, in memory and over the file; two lines of
// "ours reference" figures.
void PrintRace(Sha256Path path, const std::vector<uint8_t>& bytes, const std::u16string& file) {
  const Pair memory = Race(
      kMemoryBytes, [&] { return OurMemory(path, bytes); }, [&] { return OpenSslMemory(bytes); });
  std::printf("%.1f %.1f\n", memory.ours, memory.reference);
  const Pair onDisk = Race(
      kFileBytes, [&] { return OurFile(path, file); }, [&] { return OpenSslFile(file); });
  std::printf("%.1f %.1f\n", onDisk.ours, onDisk.reference);
}

// The routines for processors without SHA extensions against OpenSSL without
// them; run in the copy.
int NoShaHalf(const std::u16string& file) {
  const std::vector<uint8_t> bytes = Sample(kMemoryBytes);
  PrintRace(VendraClient::Sha256BestPath(false), bytes, file);
  PrintRace(Sha256Path::Portable, bytes, file);
  return 0;
}

struct Figures {
  Pair memory;
  Pair file;
};

std::istream& operator>>(std::istream& in, Figures& figures) {
  return in >> figures.memory.ours >> figures.memory.reference >> figures.file.ours >>
         figures.file.reference;
}

double Ratio(const Pair& pair) { return pair.ours / pair.reference; }

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--no-sha-half") == 0)
    return NoShaHalf(VendraText::Utf8ToUtf16(argv[2]));

  const std::u16string file = MakeFile();
  if (file.empty()) {
    std::fprintf(stderr, "cannot write the 256 MiB sample file\n");
    return 1;
  }
  const std::string fileUtf8 = VendraText::Utf16ToUtf8(file);
  const Sha256Path best = VendraClient::Sha256BestPath();
  const Sha256Path noSha = VendraClient::Sha256BestPath(false);
  if (best != Sha256Path::ShaExtensions)
    std::printf("note: no SHA extensions on this processor; the fast path is the %s one\n",
                VendraClient::Sha256PathName(best));

  const std::vector<uint8_t> bytes = Sample(kMemoryBytes);
  const Pair memory = Race(
      kMemoryBytes, [&] { return OurMemory(Sha256Path::Best, bytes); },
      [&] { return OpenSslMemory(bytes); });
  const Pair onDisk = Race(
      kFileBytes, [&] { return OurFile(Sha256Path::Best, file); },
      [&] { return OpenSslFile(file); });
  std::printf("sha256 (%s) memory 64 MiB:   ours %8.1f MB/s   openssl %8.1f MB/s\n",
              VendraClient::Sha256PathName(best), memory.ours, memory.reference);
  std::printf("sha256 (%s) file 256 MiB:    ours %8.1f MB/s   openssl %8.1f MB/s\n",
              VendraClient::Sha256PathName(best), onDisk.ours, onDisk.reference);

  const std::string self = VendraText::Utf16ToUtf8(VendraPlatform::ModuleFileName());
  const std::string results = fileUtf8 + ".nosha";
  const std::string command = "OPENSSL_ia32cap=:~0x20000000 '" + self + "' --no-sha-half '" +
                              fileUtf8 + "' > '" + results + "'";
  const int status = std::system(command.c_str());
  Figures chosen, portable;
  std::ifstream in(results);
  in >> chosen >> portable;
  VendraPlatform::DeleteFile(VendraText::Utf8ToUtf16(results));
  VendraPlatform::DeleteFile(file);
  if (status != 0 || !in) {
    std::fprintf(stderr, "the half without SHA extensions failed\n");
    return 1;
  }
  const char* noShaName = VendraClient::Sha256PathName(noSha);
  std::printf("without SHA extensions the product uses the %s routine\n", noShaName);
  std::printf("%-8s memory 64 MiB: ours %8.1f MB/s   openssl-noshani %8.1f MB/s\n", noShaName,
              chosen.memory.ours, chosen.memory.reference);
  std::printf("%-8s file 256 MiB:  ours %8.1f MB/s   openssl-noshani %8.1f MB/s\n", noShaName,
              chosen.file.ours, chosen.file.reference);
  std::printf("portable memory 64 MiB: ours %8.1f MB/s   openssl-noshani %8.1f MB/s\n",
              portable.memory.ours, portable.memory.reference);
  std::printf("portable file 256 MiB:  ours %8.1f MB/s   openssl-noshani %8.1f MB/s\n",
              portable.file.ours, portable.file.reference);

  std::printf("ratio sha256_memory_vs_openssl %.3f\n", Ratio(memory));
  std::printf("ratio sha256_file_vs_openssl %.3f\n", Ratio(onDisk));
  std::printf("ratio sha256_nosha_memory_vs_openssl_noshani %.3f\n", Ratio(chosen.memory));
  std::printf("ratio sha256_nosha_file_vs_openssl_noshani %.3f\n", Ratio(chosen.file));
  std::printf("ratio sha256_portable_only_memory_vs_openssl_noshani %.3f\n",
              Ratio(portable.memory));
  std::printf("ratio sha256_portable_only_file_vs_openssl_noshani %.3f\n", Ratio(portable.file));
  std::printf("ratio sha256_vs_openssl %.3f\n", std::min(Ratio(memory), Ratio(onDisk)));
  // The path the product takes when the SHA extensions are missing.
  std::printf("ratio sha256_portable_vs_openssl_noshani %.3f\n",
              std::min(Ratio(chosen.memory), Ratio(chosen.file)));
  return 0;
}
