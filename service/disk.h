#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// Small file helpers of the service: whole-file reads and writes that other
// readers never see half done.
namespace VendraService {

std::optional<std::string> ReadFileText(const std::filesystem::path& path);

// Writes beside the target and renames over it.
bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes);

// The file's JSON object, or nothing when it is missing or not an object.
std::optional<nlohmann::ordered_json> ReadJsonObject(const std::filesystem::path& path);

// True when name can be used as one folder or file name below a folder of
// ours: not empty, no separators, not "." or "..", no control characters.
bool IsSafeName(std::string_view name);

// A relative path of safe names separated by '/' or '\\' (build file names),
// turned into a path below base; nothing when any part is unsafe.
std::optional<std::filesystem::path> SafeRelativePath(const std::filesystem::path& base,
                                                      std::string_view relative);

}  // namespace VendraService
