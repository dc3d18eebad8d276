#include "service/disk.h"
#include "service/handlers.h"

// The catalogue is read from disk on every request, so a test can change it
// while the service runs:
//   ROOT/catalogue/SOFTWARE/builds.json                      build list
//   ROOT/catalogue/SOFTWARE/BRANCH/VERSION/build.json        build object
//   ROOT/catalogue/SOFTWARE/BRANCH/VERSION/files/NAME.z      build files
//   ROOT/utilities/NAME/manifest.json                        utility manifest
//   ROOT/utilities/NAME/FILENAME.z                           the utility's file
//   ROOT/chunks/SOFTWARE/PACK.pack                           chunk packs
namespace VendraService {

namespace {

std::optional<std::filesystem::path> BuildFolder(const ServiceContext& context,
                                                 const std::string& software,
                                                 const std::string& branch,
                                                 const std::string& version) {
  if (!IsSafeName(software) || !IsSafeName(branch) || !IsSafeName(version)) return std::nullopt;
  return context.root / "catalogue" / software / branch / version;
}

ServiceReply ObjectFileReply(const std::optional<std::filesystem::path>& path,
                             const std::string& missing) {
  if (!path) return ErrorReply(404, missing);
  auto object = ReadJsonObject(*path);
  if (!object) return ErrorReply(404, missing);
  return JsonReply(*object);
}

ServiceReply FileReply(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || !std::filesystem::is_regular_file(path, error)) {
    return ErrorReply(404, "File not found");
  }
  ServiceReply reply;
  reply.contentType = "application/octet-stream";
  reply.filePath = path.string();
  reply.fileSize = size;
  return reply;
}

}  // namespace

ServiceReply HandleBuilds(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  if (!RequireAccess(context, request, failure)) return failure;
  const std::string software = request.FieldOr("p");
  std::optional<std::filesystem::path> path;
  if (IsSafeName(software)) path = context.root / "catalogue" / software / "builds.json";
  return ObjectFileReply(path, "Unknown software");
}

ServiceReply HandleBuild(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  if (!RequireAuthorisedDevice(context, request, failure)) return failure;
  auto folder =
      BuildFolder(context, request.FieldOr("p"), request.FieldOr("b"), request.FieldOr("v"));
  std::optional<std::filesystem::path> path;
  if (folder) path = *folder / "build.json";
  return ObjectFileReply(path, "Unknown build");
}

ServiceReply HandleUtility(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  if (!RequireAuthorisedDevice(context, request, failure)) return failure;
  const std::string name = request.FieldOr("u");
  std::optional<std::filesystem::path> path;
  if (IsSafeName(name)) path = context.root / "utilities" / name / "manifest.json";
  return ObjectFileReply(path, "Unknown utility");
}

ServiceReply HandleDownload(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  if (!RequireAuthorisedDevice(context, request, failure)) return failure;

  if (auto utility = request.Field("utility")) {
    if (!IsSafeName(*utility)) return ErrorReply(404, "Unknown utility");
    const auto folder = context.root / "utilities" / *utility;
    auto manifest = ReadJsonObject(folder / "manifest.json");
    if (!manifest) return ErrorReply(404, "Unknown utility");
    const std::string filename = manifest->value("filename", "");
    if (!IsSafeName(filename)) return ErrorReply(404, "File not found");
    return FileReply(folder / (filename + ".z"));
  }
  // A pack of chunks, shared by the product's versions: clients ask for
  // the chunks they lack by range.
  if (auto pack = request.Field("pack")) {
    const std::string software = request.FieldOr("software");
    if (!IsSafeName(software) || !IsSafeName(*pack)) return ErrorReply(404, "File not found");
    return FileReply(context.root / "chunks" / software / (*pack + ".pack"));
  }
  auto folder = BuildFolder(context, request.FieldOr("software"), request.FieldOr("branch"),
                            request.FieldOr("version"));
  if (!folder) return ErrorReply(404, "Unknown build");
  auto path = SafeRelativePath(*folder / "files", request.FieldOr("filename") + ".z");
  if (!path) return ErrorReply(404, "File not found");
  return FileReply(*path);
}

}  // namespace VendraService
