// Parse, release and write speed of the JSON library on a large build
// manifest and on a small token reply, next to nlohmann-json and RapidJSON
// (UTF-8 and UTF-16 documents) doing the same work in the same run.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>

#include "json/parser.h"
#include "json/value.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Hex64(std::mt19937_64& random) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex(64, '0');
  for (char& c : hex) c = kDigits[random() % 16];
  return hex;
}

// {"data":{"files":[{"filename":...,"size":...,"sha256":...,
// "compressed_size":...,"compressed_sha256":...}, ...]}}, compact.
std::string BuildManifest(int entries) {
  std::mt19937_64 random(42);
  std::string text = "{\"data\":{\"files\":[";
  for (int i = 0; i < entries; ++i) {
    if (i) text += ',';
    text += "{\"filename\":\"bin/sub/file" + std::to_string(10000 + i) + ".dll\",\"size\":" +
            std::to_string(100000 + random() % 900000) + ",\"sha256\":\"" + Hex64(random) +
            "\",\"compressed_size\":" + std::to_string(10000 + random() % 90000) +
            ",\"compressed_sha256\":\"" + Hex64(random) + "\"}";
  }
  text += "]}}";
  return text;
}

std::string BuildTokenReply() {
  std::mt19937_64 random(7);
  std::string reply = "{\"code\":0,\"message\":\"OK\",\"data\":{\"access_token\":\"" +
                      Hex64(random) + "\",\"refresh_token\":\"" + Hex64(random) +
                      Hex64(random).substr(0, 40) + "\",\"expires\":1767225600,\"local_token\":\"" +
                      Hex64(random).substr(0, 32) + "\",\"username\":\"user@example.com\"}}";
  return reply;
}

double Seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t StatusKib(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.compare(0, key.size(), key) == 0) return std::stoull(line.substr(key.size()));
  return 0;
}

using Utf16Document = rapidjson::GenericDocument<rapidjson::UTF16<>>;

// Seconds of one round of each kind of work; rounds of all libraries are
// interleaved and the best round of each counts, so that a busy machine
// slows all of them alike.
struct Times {
  double parse = 1e9, release = 1e9, compact = 1e9, pretty = 1e9;
  void Keep(const Times& t) {
    parse = std::min(parse, t.parse);
    release = std::min(release, t.release);
    compact = std::min(compact, t.compact);
    pretty = std::min(pretty, t.pretty);
  }
};

struct Speeds {
  double parse, release, compact, pretty;
};

Speeds ToSpeeds(const Times& t, size_t bytes) {
  auto mbps = [bytes](double s) { return static_cast<double>(bytes) / 1e6 / s; };
  return Speeds{mbps(t.parse), mbps(t.release), mbps(t.compact), mbps(t.pretty)};
}

void Print(const char* name, const Speeds& s) {
  std::printf("%-22s parse %8.1f MB/s  release %9.1f MB/s  compact %8.1f MB/s  pretty %8.1f MB/s\n",
              name, s.parse, s.release, s.compact, s.pretty);
}

Times RoundOurs(const std::string& text, int copies) {
  Times t;
  std::vector<VendraJSON::VSJValue*> trees(copies, nullptr);
  std::u16string error;
  t.parse = Seconds([&] {
    for (auto*& tree : trees) VendraJSON::ParseValueA(text.c_str(), &tree, error);
  });
  std::string out;
  t.compact = Seconds([&] {
    for (auto* tree : trees) tree->WriteJSONA(out, false, 0, "\n");
  });
  out.clear();
  out.shrink_to_fit();
  t.pretty = Seconds([&] {
    for (auto* tree : trees) tree->WriteJSONA(out, true, 0, "\n");
  });
  t.release = Seconds([&] {
    for (auto* tree : trees) tree->Release();
  });
  return t;
}

Times RoundNlohmann(const std::string& text, int copies) {
  Times t;
  std::vector<nlohmann::json> trees(copies);
  t.parse = Seconds([&] {
    for (auto& tree : trees) tree = nlohmann::json::parse(text);
  });
  std::string out;
  t.compact = Seconds([&] {
    for (auto& tree : trees) out += tree.dump();
  });
  out.clear();
  out.shrink_to_fit();
  t.pretty = Seconds([&] {
    for (auto& tree : trees) out += tree.dump(2);
  });
  t.release = Seconds([&] { trees.clear(); });
  return t;
}

template <typename Document>
Times RoundRapid(const std::string& text, int copies) {
  Times t;
  std::vector<std::unique_ptr<Document>> docs(copies);
  t.parse = Seconds([&] {
    for (auto& d : docs) {
      d = std::make_unique<Document>();
      d->template Parse<rapidjson::kParseDefaultFlags, rapidjson::UTF8<>>(text.c_str());
    }
  });
  // Written as UTF-8, like the other writers.
  using Buffer = rapidjson::GenericStringBuffer<rapidjson::UTF8<>>;
  using Source = typename Document::EncodingType;
  {
    Buffer buffer;
    t.compact = Seconds([&] {
      for (auto& d : docs) {
        rapidjson::Writer<Buffer, Source, rapidjson::UTF8<>> writer(buffer);
        d->Accept(writer);
      }
    });
  }
  {
    Buffer buffer;
    t.pretty = Seconds([&] {
      for (auto& d : docs) {
        rapidjson::PrettyWriter<Buffer, Source, rapidjson::UTF8<>> writer(buffer);
        writer.SetIndent(' ', 2);
        d->Accept(writer);
      }
    });
  }
  t.release = Seconds([&] { docs.clear(); });
  return t;
}

struct Results {
  Speeds ours, nlohmann, rapid8, rapid16;
};

Results Measure(const std::string& text, int copies, int rounds) {
  Times ours, nl, r8, r16;
  for (int r = 0; r < rounds; ++r) {
    ours.Keep(RoundOurs(text, copies));
    nl.Keep(RoundNlohmann(text, copies));
    r8.Keep(RoundRapid<rapidjson::Document>(text, copies));
    r16.Keep(RoundRapid<Utf16Document>(text, copies));
  }
  const size_t bytes = text.size() * static_cast<size_t>(copies);
  return Results{ToSpeeds(ours, bytes), ToSpeeds(nl, bytes), ToSpeeds(r8, bytes), ToSpeeds(r16, bytes)};
}

void PrintAll(const Results& r) {
  Print("  vendra_json", r.ours);
  Print("  nlohmann-json", r.nlohmann);
  Print("  RapidJSON UTF-8", r.rapid8);
  Print("  RapidJSON UTF-16", r.rapid16);
}

}  // namespace

int main() {
  const std::string manifest = BuildManifest(100000);
  const std::string reply = BuildTokenReply();
  std::printf("manifest: %zu bytes, token reply: %zu bytes\n", manifest.size(), reply.size());

  // Memory of one parsed manifest tree, measured first while the heap is fresh.
  double treeBytesPerInputByte = 0;
  {
    const uint64_t before = StatusKib("VmRSS");
    VendraJSON::VSJValue* tree = nullptr;
    std::u16string error;
    if (!VendraJSON::ParseValueA(manifest.c_str(), &tree, error)) {
      std::printf("parse failed\n");
      return 1;
    }
    const uint64_t after = StatusKib("VmRSS");
    treeBytesPerInputByte = static_cast<double>(after - before) * 1024.0 / manifest.size();
    tree->Release();
  }

  const Results big = Measure(manifest, 1, 7);
  std::printf("build manifest, 100000 file entries:\n");
  PrintAll(big);
  const Results small = Measure(reply, 20000, 7);
  std::printf("token reply, 20000 copies:\n");
  PrintAll(small);
  std::printf("parsed manifest tree: %.2f bytes per input byte\n", treeBytesPerInputByte);

  std::printf("ratio parse_vs_nlohmann %.2f\n", big.ours.parse / big.nlohmann.parse);
  std::printf("ratio parse_vs_rapidjson_utf16 %.2f\n", big.ours.parse / big.rapid16.parse);
  std::printf("ratio parse_vs_rapidjson_utf8 %.2f\n", big.ours.parse / big.rapid8.parse);
  std::printf("ratio pretty_write_vs_nlohmann %.2f\n", big.ours.pretty / big.nlohmann.pretty);
  std::printf("ratio compact_write_vs_nlohmann %.2f\n", big.ours.compact / big.nlohmann.compact);
  std::printf("ratio release_vs_nlohmann %.2f\n", big.ours.release / big.nlohmann.release);
  std::printf("ratio reply_parse_vs_nlohmann %.2f\n", small.ours.parse / small.nlohmann.parse);
  std::printf("ratio reply_parse_vs_rapidjson_utf16 %.2f\n", small.ours.parse / small.rapid16.parse);
  std::printf("ratio tree_bytes_per_input_byte %.2f\n", treeBytesPerInputByte);
  std::printf("peak_rss_mib %.1f\n", static_cast<double>(StatusKib("VmHWM")) / 1024.0);
  return 0;
}
