// POSIX layer only.
//
// The machine-wide registry hive kept as a folder tree: a key is a folder, a
// value is one file in it. Key and value names compare without regard to
// ASCII case, as on Windows, so their file names are the lower-cased names,
// escaped; the file keeps the name as written, its type and its data:
//
//   line 1: "REG_SZ" or "REG_DWORD"
//   line 2: the length in bytes of the value's name, in decimal
//   then:   the name (UTF-8, any characters), directly followed by the data:
//           the string (UTF-8), or the number in decimal
//
// A key's folder keeps the key's name as first written in its file "name"
// (stores made before it existed answer the lower-cased name instead).
//
// Every write goes to a new file that is renamed over the old one, so other
// processes see the old value or the new one, never a half-written file. The
// 32-bit view of "Software\..." lives under "Software\WOW6432Node\..." as on
// 64-bit Windows.
#include "platform/registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/text/utf.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/paths.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/posix_text.h"
#include "platform/process.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

constexpr char16_t kSystemRegistryRoot[] = u"/var/lib/vendra-registry";
constexpr char kStringTag[] = "REG_SZ";
constexpr char kDwordTag[] = "REG_DWORD";

std::u16string StoreRoot() {
  if (!MachineRootRelocated()) return kSystemRegistryRoot;
  return PathAppend(EnvironmentVariable("VENDRA_MACHINE_ROOT"), u"Registry");
}

// Lower-cased, with everything but letters, digits, '-' and '_' written as
// %XXXX, so any name becomes one safe file name segment.
std::u16string EscapeName(std::u16string_view name) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  for (char16_t c : name) {
    c = VendraText::AsciiLower(c);
    if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_') {
      out.push_back(c);
    } else {
      out.push_back(u'%');
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
    }
  }
  return out;
}

std::vector<std::u16string> SplitKeyPath(std::u16string_view path) {
  std::vector<std::u16string> parts;
  std::u16string part;
  for (char16_t c : path) {
    if (IsPathSeparator(c)) {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

// EscapeName backwards: the lower-cased name.
std::u16string UnescapeName(std::u16string_view escaped) {
  std::u16string out;
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != u'%' || escaped.size() - i < 5) {
      out.push_back(escaped[i]);
      continue;
    }
    char16_t c = 0;
    for (size_t k = 1; k <= 4; ++k) {
      const char16_t h = escaped[i + k];
      c = static_cast<char16_t>(c * 16 + (h >= u'A' ? h - u'A' + 10 : h - u'0'));
    }
    out.push_back(c);
    i += 4;
  }
  return out;
}

constexpr char16_t kKeyPrefix[] = u"k_";
constexpr char16_t kKeyNameFile[] = u"name";

// The folders of the key and of every key above it, each with the key's
// name, outermost first.
std::vector<std::pair<std::u16string, std::u16string>> KeyFolders(std::u16string_view path,
                                                                   RegistryView view) {
  std::vector<std::u16string> parts = SplitKeyPath(path);
  if (view == RegistryView::Default32 && !parts.empty() &&
      VendraText::EqualsIgnoreAsciiCase(parts[0], u"Software") &&
      !(parts.size() > 1 && VendraText::EqualsIgnoreAsciiCase(parts[1], u"WOW6432Node")))
    parts.insert(parts.begin() + 1, u"WOW6432Node");
  std::u16string folder = PathAppend(StoreRoot(), u"HKEY_LOCAL_MACHINE");
  std::vector<std::pair<std::u16string, std::u16string>> folders;
  for (auto& p : parts) {
    folder = JoinFileName(folder, kKeyPrefix + EscapeName(p));
    folders.emplace_back(folder, std::move(p));
  }
  return folders;
}

std::u16string KeyFolder(std::u16string_view path, RegistryView view) {
  const auto folders = KeyFolders(path, view);
  return folders.empty() ? PathAppend(StoreRoot(), u"HKEY_LOCAL_MACHINE") : folders.back().first;
}

}  // namespace

class RegistryKey::Impl {
 public:
  explicit Impl(std::u16string folder) : folder_(std::move(folder)) {}

  std::u16string ValueFile(std::u16string_view name) const {
    return JoinFileName(folder_, u"v_" + EscapeName(name));
  }

  uint32_t Write(std::u16string_view name, const char* tag, std::string_view data) const {
    const std::string nativeName = VendraText::Utf16ToUtf8(name);
    std::string content = tag;
    content += '\n';
    content += std::to_string(nativeName.size());
    content += '\n';
    content += nativeName;
    content += data;
    return WriteFileAtomically(ValueFile(name), content);
  }

  uint32_t Read(std::u16string_view name, std::string& tag, std::string& data) const {
    std::string content;
    if (const uint32_t err = ReadWholeFile(ValueFile(name), content)) return err;
    const size_t first = content.find('\n');
    const size_t second = first == std::string::npos ? first : content.find('\n', first + 1);
    if (second == std::string::npos) return SysError::kFileNotFound;
    const size_t nameBytes = std::strtoul(content.c_str() + first + 1, nullptr, 10);
    if (nameBytes > content.size() - second - 1) return SysError::kFileNotFound;
    tag = content.substr(0, first);
    data = content.substr(second + 1 + nameBytes);
    return SysError::kSuccess;
  }

  std::u16string folder_;
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;

uint32_t RegistryKey::CreateForWriting(std::u16string_view path, RegistryView view) {
  Close();
  std::u16string folder = KeyFolder(path, view);
  const uint32_t created = CreateFolderTree(folder);
  if (created != SysError::kSuccess && created != SysError::kAlreadyExists) return created;
  // A key keeps the name it was first written with, as on Windows.
  for (const auto& [keyFolder, name] : KeyFolders(path, view)) {
    const std::u16string nameFile = JoinFileName(keyFolder, kKeyNameFile);
    if (!FileExists(nameFile)) WriteFileAtomically(nameFile, VendraText::Utf16ToUtf8(name));
  }
  // Asking for write access to a key this caller may not change fails at
  // once, as it does on Windows, rather than with every later write.
  if (::faccessat(AT_FDCWD, Posix::NativePath(folder).c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return errno == EACCES ? SysError::kAccessDenied : Posix::SysErrorFromErrno(errno);
  impl_ = std::make_unique<Impl>(std::move(folder));
  return SysError::kSuccess;
}

uint32_t RegistryKey::OpenForReading(std::u16string_view path, RegistryView view) {
  Close();
  std::u16string folder = KeyFolder(path, view);
  if (!FolderExists(folder)) return SysError::kFileNotFound;
  impl_ = std::make_unique<Impl>(std::move(folder));
  return SysError::kSuccess;
}

bool RegistryKey::IsOpen() const { return impl_ != nullptr; }

void RegistryKey::Close() { impl_.reset(); }

uint32_t RegistryKey::SetString(std::u16string_view name, std::u16string_view value) {
  if (!impl_) return SysError::kInvalidParameter;
  return impl_->Write(name, kStringTag, VendraText::Utf16ToUtf8(value));
}

uint32_t RegistryKey::SetDword(std::u16string_view name, uint32_t value) {
  if (!impl_) return SysError::kInvalidParameter;
  return impl_->Write(name, kDwordTag, std::to_string(value));
}

uint32_t RegistryKey::DeleteValue(std::u16string_view name) {
  if (!impl_) return SysError::kInvalidParameter;
  return VendraPlatform::DeleteFile(impl_->ValueFile(name));
}

uint32_t RegistryKey::QueryType(std::u16string_view name, RegistryValueType& type) const {
  if (!impl_) return SysError::kInvalidParameter;
  std::string tag, data;
  if (const uint32_t err = impl_->Read(name, tag, data)) return err;
  type = tag == kStringTag  ? RegistryValueType::String
         : tag == kDwordTag ? RegistryValueType::Dword
                            : RegistryValueType::Other;
  return SysError::kSuccess;
}

uint32_t RegistryKey::QueryString(std::u16string_view name, std::u16string& value) const {
  if (!impl_) return SysError::kInvalidParameter;
  std::string tag, data;
  if (const uint32_t err = impl_->Read(name, tag, data)) return err;
  if (tag != kStringTag) return SysError::kInvalidParameter;
  value = VendraText::Utf8ToUtf16(data);
  return SysError::kSuccess;
}

uint32_t RegistryKey::QueryDword(std::u16string_view name, uint32_t& value) const {
  if (!impl_) return SysError::kInvalidParameter;
  std::string tag, data;
  if (const uint32_t err = impl_->Read(name, tag, data)) return err;
  if (tag != kDwordTag) return SysError::kInvalidParameter;
  value = static_cast<uint32_t>(std::strtoul(data.c_str(), nullptr, 10));
  return SysError::kSuccess;
}

uint32_t RegistryKey::SubKeyNames(std::vector<std::u16string>& names) const {
  if (!impl_) return SysError::kInvalidParameter;
  std::vector<FolderEntry> entries;
  if (const uint32_t err = ListFolder(impl_->folder_, entries)) return err;
  names.clear();
  const std::u16string_view prefix = kKeyPrefix;
  for (const FolderEntry& entry : entries) {
    if (!entry.isFolder || entry.name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string written;
    const std::u16string folder = JoinFileName(impl_->folder_, entry.name);
    if (ReadWholeFile(JoinFileName(folder, kKeyNameFile), written) == SysError::kSuccess &&
        !written.empty())
      names.push_back(VendraText::Utf8ToUtf16(written));
    else
      names.push_back(UnescapeName(std::u16string_view(entry.name).substr(prefix.size())));
  }
  return SysError::kSuccess;
}

}  // namespace VendraPlatform
