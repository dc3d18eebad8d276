#include "platform/paths.h"

namespace VendraPlatform {

bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string WithOwnSeparators(std::u16string_view path) {
  std::u16string out(path);
  for (char16_t& c : out)
    if (IsPathSeparator(c)) c = kPathSeparator;
  return out;
}

std::u16string PathAppend(std::u16string_view base, std::u16string_view more) {
  std::u16string out(base);
  size_t start = 0;
  while (start < more.size() && IsPathSeparator(more[start])) ++start;
  if (start == more.size() && start > 0 && out.empty()) {
    out.push_back(kPathSeparator);
    return out;
  }
  if (start < more.size() && !out.empty() && !IsPathSeparator(out.back()))
    out.push_back(kPathSeparator);
  for (size_t i = start; i < more.size(); ++i)
    out.push_back(IsPathSeparator(more[i]) ? kPathSeparator : more[i]);
  return out;
}

std::u16string JoinFileName(std::u16string_view folder, std::u16string_view name) {
  std::u16string out(folder);
  out.push_back(kPathSeparator);
  out.append(name);
  return out;
}

std::u16string_view FolderOf(std::u16string_view path) {
  const size_t cut = path.find_last_of(u"\\/");
  return cut == std::u16string_view::npos ? std::u16string_view() : path.substr(0, cut);
}

bool IsContainedRelativePath(std::u16string_view relative) {
  if (relative.empty() || IsPathSeparator(relative[0])) return false;
  for (char16_t c : relative)
    if (c < 0x20 || c == u':') return false;  // ':' is a drive or a stream name
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = start;
    while (end < relative.size() && !IsPathSeparator(relative[end])) ++end;
    const std::u16string_view segment = relative.substr(start, end - start);
    if (segment == u"." || segment == u"..") return false;
    // Windows drops trailing dots and spaces, so "..." or ".. " would climb too.
    if (!segment.empty() && segment.find_first_not_of(u". ") == std::u16string_view::npos)
      return false;
    start = end + 1;
  }
  return true;
}

}  // namespace VendraPlatform
