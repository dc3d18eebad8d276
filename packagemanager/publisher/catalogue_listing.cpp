#include "packagemanager/publisher/catalogue_listing.h"

#include <algorithm>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/object.h"
#include "json/value_container.h"
#include "packagemanager/publisher/catalogue_file.h"
#include "common/text/display_units.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace VendraCatalogue {
namespace {

using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using ObjectRef = Vendra::RefPtr<VSJObject>;
using VendraPlatform::PathAppend;

std::vector<std::u16string> SubFolders(const std::u16string& folder) {
  std::vector<VendraPlatform::FolderEntry> entries;
  std::vector<std::u16string> names;
  if (VendraPlatform::ListFolder(folder, entries) != 0) return names;
  for (const auto& e : entries)
    if (e.isFolder) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

void ReadBuild(const std::u16string& path, ListedBuild build, Listing& listing) {
  ObjectRef object = LoadCatalogueObject(path);
  if (!object) return;
  ObjectRef data;
  Vendra::RefPtr<VSJArray> files;
  if (object->GetObject(u"data", data.Receive()) && data->GetArray(u"files", files.Receive())) {
    for (size_t i = 0; i < files->Count(); ++i) {
      Vendra::RefPtr<VendraJSON::VSJValue> value;
      if (!files->At(i)->GetValue(value.Receive()) || value->GetType() != VendraJSON::kTypeObject)
        continue;
      int64_t size = 0;
      static_cast<VSJObject*>(value.get())->GetInteger(u"size", size);
      ++build.files;
      build.bytes += size > 0 ? static_cast<uint64_t>(size) : 0;
    }
  }
  listing.builds.push_back(std::move(build));
}

void ReadBranches(const std::u16string& path, const std::string& list, Listing& listing) {
  ObjectRef object = LoadCatalogueObject(path);
  if (!object) return;
  for (size_t i = 0; i < object->Count(); ++i) {
    ObjectRef entry;
    const std::u16string branch(object->KeyAt(i));
    std::string version;
    if (object->GetObject(branch, entry.Receive()) && entry->GetStringA(u"version", version))
      listing.branches.push_back({list, VendraText::Utf16ToUtf8(branch), version});
  }
}

}  // namespace

bool ReadListing(const std::u16string& root, Listing& listing) {
  listing = Listing();
  const std::u16string catalogue = PathAppend(root, u"catalogue");
  const std::u16string utilities = PathAppend(root, u"utilities");
  if (!VendraPlatform::FolderExists(catalogue) && !VendraPlatform::FolderExists(utilities))
    return false;
  for (const std::u16string& top : SubFolders(catalogue)) {
    const std::string product = VendraText::Utf16ToUtf8(top);
    ReadBranches(PathAppend(catalogue, top + u"\\builds.json"), product, listing);
    for (const std::u16string& branch : SubFolders(PathAppend(catalogue, top))) {
      const std::u16string branchFolder = PathAppend(catalogue, top + u"\\" + branch);
      for (const std::u16string& version : SubFolders(branchFolder)) {
        ReadBuild(PathAppend(branchFolder, version + u"\\build.json"),
                  {product, VendraText::Utf16ToUtf8(branch), VendraText::Utf16ToUtf8(version)},
                  listing);
      }
    }
  }
  for (const std::u16string& name : SubFolders(utilities)) {
    ObjectRef manifest = LoadCatalogueObject(PathAppend(utilities, name + u"\\manifest.json"));
    if (!manifest) continue;
    ListedUtility utility{VendraText::Utf16ToUtf8(name), {}, 0};
    int64_t size = 0;
    manifest->GetStringA(u"filename", utility.fileName);
    manifest->GetInteger(u"file_size", size);
    utility.bytes = size > 0 ? static_cast<uint64_t>(size) : 0;
    listing.utilities.push_back(std::move(utility));
  }
  return true;
}

std::string ListingText(const Listing& listing) {
  std::string out = "builds:\n";
  if (listing.builds.empty()) out += "  (none)\n";
  for (const auto& b : listing.builds)
    out += VendraText::Format("  %s %s %s: %zu file(s), %s\n", b.product, b.branch, b.version,
                              b.files, VendraText::FormatBytes(b.bytes));
  out += "build lists:\n";
  if (listing.branches.empty()) out += "  (none)\n";
  for (const auto& b : listing.branches)
    out += VendraText::Format("  %s: %s -> %s\n", b.list, b.branch, b.version);
  out += "utilities:\n";
  if (listing.utilities.empty()) out += "  (none)\n";
  for (const auto& u : listing.utilities)
    out += VendraText::Format("  %s: %s, %s\n", u.name, u.fileName,
                              VendraText::FormatBytes(u.bytes));
  return out;
}

std::string ListingJson(const Listing& listing) {
  auto builds = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const auto& b : listing.builds) {
    auto o = ObjectRef::Adopt(VSJObject::Create());
    o->SetStringA(u"product", b.product);
    o->SetStringA(u"branch", b.branch);
    o->SetStringA(u"version", b.version);
    o->SetInteger(u"files", static_cast<int64_t>(b.files));
    o->SetInteger(u"bytes", static_cast<int64_t>(b.bytes));
    builds->Append(o.get());
  }
  auto lists = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const auto& b : listing.branches) {
    auto o = ObjectRef::Adopt(VSJObject::Create());
    o->SetStringA(u"list", b.list);
    o->SetStringA(u"branch", b.branch);
    o->SetStringA(u"version", b.version);
    lists->Append(o.get());
  }
  auto utilities = Vendra::RefPtr<VSJArray>::Adopt(VSJArray::Create());
  for (const auto& u : listing.utilities) {
    auto o = ObjectRef::Adopt(VSJObject::Create());
    o->SetStringA(u"name", u.name);
    o->SetStringA(u"filename", u.fileName);
    o->SetInteger(u"bytes", static_cast<int64_t>(u.bytes));
    utilities->Append(o.get());
  }
  auto all = ObjectRef::Adopt(VSJObject::Create());
  all->Set(u"builds", builds.get());
  all->Set(u"build_lists", lists.get());
  all->Set(u"utilities", utilities.get());
  std::string out;
  all->ToStringA(out);
  return out + "\n";
}

}  // namespace VendraCatalogue
