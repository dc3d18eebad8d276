// Fills a service root with the catalogue the installer and the package
// manager ask for: the product's build list and its "live" build with files,
// and the package manager itself as the "vendrabuild" utility.
#include <cstdio>
#include <string>
#include <vector>

#include "common/text/terminal_text.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "json/array.h"
#include "json/object.h"
#include "platform/entry_point.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/paths.h"
#include "platform/program_arguments.h"

namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;

struct Packed {
  uint64_t size = 0;
  std::string digest;
  uint64_t compressedSize = 0;
  std::string compressedDigest;
};

bool Fail(const std::u16string& what) {
  std::fprintf(stderr, "vendra-catalogue: %s\n", VendraText::ShownOnTerminalUtf8(what).c_str());
  return false;
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  if (VendraPlatform::WriteFileAtomically(path, bytes) != 0)
    return Fail(u"cannot write " + path);
  return true;
}

// Compresses source into target (".z") and describes both.
bool Pack(const std::u16string& source, const std::u16string& target, Packed& packed) {
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(target, ignored);
  int32_t inSize = 0, outSize = 0;
  std::u16string error;
  if (VendraClient::DeflateFile(7, source, inSize, target, outSize, error) !=
      VendraClient::eVClientResult::Success)
    return Fail(error);
  packed.size = static_cast<uint32_t>(inSize);
  packed.compressedSize = static_cast<uint32_t>(outSize);
  if (!VendraClient::GetFileDigest(source, packed.digest) ||
      !VendraClient::GetFileDigest(target, packed.compressedDigest))
    return Fail(u"cannot hash " + source);
  return true;
}

bool Save(VSJObject* object, const std::u16string& path) {
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  int errorCode = 0;
  if (!object->SaveFile(errorCode, path)) return Fail(u"cannot write " + path);
  return true;
}

// The product's files: its program and some data, one part big enough that
// the download shows progress.
std::vector<std::pair<std::u16string, std::string>> ProductFiles(const std::string& version) {
  std::string assets;
  uint32_t state = 2463534242u;
  for (int i = 0; i < 6 << 20; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Some structure, so the compressed file is smaller but not trivial.
    assets.push_back(static_cast<char>((i % 64 < 48) ? 'a' + (i % 26) : (state & 0xFF)));
  }
  return {
      {u"Tandory.exe", "#!/bin/sh\necho \"Tandory " + version + " is running\"\n"},
      {u"data\\welcome.txt", "Welcome to Tandory " + version + ".\n"},
      {u"data\\assets.bin", assets},
  };
}

bool MakeCatalogue(const std::u16string& root, const std::u16string& packageManager,
                   const std::string& version) {
  using VendraPlatform::PathAppend;
  // The product's build.
  const std::u16string buildFolder =
      PathAppend(root, VendraText::Format(u"catalogue\\tdy\\live\\%hs", version));
  auto files = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const auto& [name, bytes] : ProductFiles(version)) {
    std::u16string plain;
    if (VendraPlatform::CreateTempFile(VendraPlatform::TempFolder(), u"", plain) != 0)
      return Fail(u"cannot make a temporary file");
    if (!WriteBytes(plain, bytes)) return false;
    Packed packed;
    if (!Pack(plain, PathAppend(buildFolder, u"files\\" + name + u".z"), packed)) return false;
    auto entry = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
    entry->SetString(u"filename", std::u16string_view(name));
    entry->SetInteger(u"size", static_cast<int64_t>(packed.size));
    entry->SetStringA(u"sha256", packed.digest);
    entry->SetInteger(u"compressed_size", static_cast<int64_t>(packed.compressedSize));
    entry->SetStringA(u"compressed_sha256", packed.compressedDigest);
    files->Append(entry.get());
    VendraPlatform::DeleteFile(plain);
  }
  auto data = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  data->Set(u"files", files.get());
  auto build = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  build->SetStringA(u"software", "tdy");
  build->SetStringA(u"branch", "live");
  build->SetStringA(u"version", version);
  build->Set(u"data", data.get());
  if (!Save(build.get(), PathAppend(buildFolder, u"build.json"))) return false;

  // The build list the installer reads the live version from.
  auto live = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  live->SetStringA(u"version", version);
  auto list = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  list->Set(u"live", live.get());
  if (!Save(list.get(), PathAppend(root, u"catalogue\\TDY-UPLINK\\builds.json"))) return false;

  // The package manager as the "vendrabuild" utility.
  Packed tool;
  if (!Pack(packageManager, PathAppend(root, u"utilities\\vendrabuild\\VendraBuild.exe.z"), tool))
    return false;
  auto manifest = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  manifest->SetStringA(u"name", "vendrabuild");
  manifest->SetStringA(u"filename", "VendraBuild.exe");
  manifest->SetInteger(u"file_size", static_cast<int64_t>(tool.size));
  manifest->SetStringA(u"file_sha256", tool.digest);
  manifest->SetInteger(u"compressed_file_size", static_cast<int64_t>(tool.compressedSize));
  manifest->SetStringA(u"compressed_file_sha256", tool.compressedDigest);
  return Save(manifest.get(), PathAppend(root, u"utilities\\vendrabuild\\manifest.json"));
}

}  // namespace

int VendraMain(void*) {
  const std::vector<std::u16string> args = VendraPlatform::ProgramArguments();
  if (args.size() < 2 || args.size() > 3) {
    std::fprintf(stderr, "usage: vendra-catalogue SERVICE_ROOT PACKAGE_MANAGER [VERSION]\n");
    return 2;
  }
  const std::string version = args.size() == 3 ? VendraText::Utf16ToUtf8(args[2]) : "1.0.0";
  if (!MakeCatalogue(args[0], args[1], version)) return 1;
  std::printf("catalogue: Tandory %s (live) and the package manager in %s\n", version.c_str(),
              VendraText::ShownOnTerminalUtf8(args[0]).c_str());
  return 0;
}
