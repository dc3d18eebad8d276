#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace VendraJSON {
class VSJObject;
}

// Publishing into a service root's catalogue (layout in service/README.md).
namespace VendraCatalogue {

// True for a product, branch, version or utility name that is safe as one
// folder name on every system and in every request: 1 to 64 of the letters
// A-Z a-z, digits and . _ + -, starting with a letter or digit.
bool IsSafeCatalogueName(std::string_view name);

// Signs a build list (its name given) before it is written.
using ListSigner = std::function<bool(VendraJSON::VSJObject* buildList,
                                      const std::string& listName, std::u16string& error)>;

struct PublishRequest {
  std::u16string root;       // the service root
  std::string product;
  std::string branch;
  std::string version;
  std::string buildList;     // catalogue/BUILDLIST/builds.json; the product when empty
  std::u16string folder;     // what to publish, sub-folders included
  // Publishes over a version that is already published. Clients fetching it
  // meanwhile may see files of both; meant for replacing a broken build.
  bool replace = false;
  // When set, signs every program of the build (a name ending in ".exe"):
  // the detached signature of its content joins the build as NAME.p7s and
  // the program's entry is marked "signed".
  std::function<bool(const std::string& content, std::string& signature, std::u16string& error)>
      signProgram;
  // When set instead, signs every program inside itself (Windows programs,
  // Authenticode): the signed program is written to signedCopy (a new file
  // in the build's own folder), published in the program's place and
  // removed; its entry is marked "signed".
  std::function<bool(const std::u16string& program, const std::u16string& signedCopy,
                     std::u16string& error)>
      embedSignature;
  // Also cuts every file into content-defined chunks, stores those the
  // product's chunk store lacks (ROOT/chunks/PRODUCT, see ChunkStore) and
  // gives each file entry its chunk list, so that a client can fetch the
  // parts of a file that changed. The ".z" files are published as always.
  bool chunks = false;
  // When set, signs the finished build object before it is written.
  std::function<bool(VendraJSON::VSJObject* build, std::u16string& error)> signBuild;
  // When set, signs the build list once it names the version. Without it a
  // list that is signed is refused before anything is written: the
  // signature would no longer cover the list, and every package manager
  // that checks it would refuse every install.
  ListSigner signList;
};

// False with a text saying what is allowed when the product, branch,
// version or build list name of request is not a safe catalogue name, or
// the branch has the name of a build list's signature member.
bool CheckNames(const PublishRequest& request, std::u16string& error);

// Told once per packed file: its name in the build and its size.
using PublishProgress = std::function<void(const std::u16string& name, uint64_t size)>;

struct PublishResult {
  size_t files = 0;
  uint64_t bytes = 0;
  uint64_t compressedBytes = 0;
};

// Packs every file below folder as one ".z" each, writes the build's
// build.json (names, sizes, digests) in one atomic step once all of them are
// in place, and only then points the build list's branch at the version, so
// that a build is never live before it is complete. A version that is
// already published is refused unless request.replace is set (clients may
// be downloading it); a rerun
// after an interrupted publish finishes it. False with a text naming the
// file and the reason.
bool Publish(const PublishRequest& request, const PublishProgress& progress,
             PublishResult& result, std::u16string& error);

// The names of the build lists in root's catalogue (catalogue/NAME/builds.json).
std::vector<std::string> BuildListNames(const std::u16string& root);

// Signs root's build list listName again, as it is, with signList: the
// publisher does so before the list's signature expires. False with a text
// naming the list and the reason.
bool SignBuildListAgain(const std::u16string& root, const std::string& listName,
                        const ListSigner& signList, std::u16string& error);

// Places file as the utility name: utilities/NAME/FILENAME.z and its
// manifest, the manifest last. When signManifest is set, it signs the
// finished manifest before it is written.
bool PublishUtility(const std::u16string& root, const std::string& name,
                    const std::u16string& file,
                    const std::function<bool(VendraJSON::VSJObject* manifest,
                                             std::u16string& error)>& signManifest,
                    std::u16string& error);

}  // namespace VendraCatalogue
