// Win32 layer only.
//
// Keys live below HKEY_LOCAL_MACHINE. Default32 is the 32-bit view of 64-bit
// Windows ("Software\WOW6432Node\..."), where the product's keys have always
// been; a 64-bit program reaches it only by asking for it (KEY_WOW64_32KEY).
// View64 is the native view, where the system keeps its own keys.
//
// When VENDRA_MACHINE_ROOT relocates the machine-wide places, keys go to a
// subtree of the current user's hive instead, one per relocation root:
//   HKEY_CURRENT_USER\Software\VendraTest\<16 hex digits>\HKEY_LOCAL_MACHINE\...
// (the digits are a 64-bit FNV-1a hash of the root's UTF-16 text, upper-cased
// so that differently cased spellings of one folder meet). That needs no
// administrator rights, keeps test runs apart from each other and from the
// real entries, and is removed with "reg delete HKCU\Software\VendraTest /f".
// The user's hive has no 32-bit view, so there the 32-bit view is written out
// as "Software\WOW6432Node\...", the way 64-bit Windows stores it.
#include "platform/registry.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/text/utf.h"
#include "platform/known_folders.h"
#include "platform/process.h"
#include "platform/sys_error.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

using Win32::Wide;

std::u16string HashText(std::u16string_view text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (char16_t c : text) {
    const char16_t upper = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    hash = (hash ^ (upper & 0xFF)) * 0x100000001b3ULL;
    hash = (hash ^ (upper >> 8)) * 0x100000001b3ULL;
  }
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  for (int shift = 60; shift >= 0; shift -= 4) out.push_back(kHex[(hash >> shift) & 0xF]);
  return out;
}

// Key path with '/' turned into '\\' and empty segments dropped.
std::vector<std::u16string> SplitKeyPath(std::u16string_view path) {
  std::vector<std::u16string> parts;
  std::u16string part;
  for (char16_t c : path) {
    if (c == u'\\' || c == u'/') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

struct KeyLocation {
  HKEY root;
  std::wstring path;
  REGSAM viewFlag;
};

KeyLocation Locate(std::u16string_view path, RegistryView view) {
  if (!MachineRootRelocated())
    return {HKEY_LOCAL_MACHINE, Win32::WidePath(path),
            static_cast<REGSAM>(view == RegistryView::View64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY)};
  std::vector<std::u16string> parts = SplitKeyPath(path);
  if (view == RegistryView::Default32 && !parts.empty() &&
      VendraText::EqualsIgnoreAsciiCase(parts[0], u"Software") &&
      !(parts.size() > 1 && VendraText::EqualsIgnoreAsciiCase(parts[1], u"WOW6432Node")))
    parts.insert(parts.begin() + 1, u"WOW6432Node");
  std::u16string relocated = u"Software\\VendraTest\\" +
                             HashText(EnvironmentVariable("VENDRA_MACHINE_ROOT")) +
                             u"\\HKEY_LOCAL_MACHINE";
  for (const auto& p : parts) relocated += u"\\" + p;
  return {HKEY_CURRENT_USER, Wide(relocated), 0};
}

}  // namespace

class RegistryKey::Impl {
 public:
  explicit Impl(HKEY key) : key_(key) {}
  ~Impl() { ::RegCloseKey(key_); }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // Reads a value's type and raw data.
  uint32_t Query(std::u16string_view name, DWORD& type, std::vector<BYTE>& data) const {
    const std::wstring wideName = Wide(name);
    DWORD size = 0;
    while (true) {
      data.resize(size);
      const LSTATUS status = ::RegQueryValueExW(key_, wideName.c_str(), nullptr, &type,
                                                size ? data.data() : nullptr, &size);
      if (status == ERROR_SUCCESS && size <= data.size()) {
        data.resize(size);
        return SysError::kSuccess;
      }
      // The value may grow between the size query and the read.
      if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return static_cast<uint32_t>(status);
    }
  }

  HKEY key_;
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;

uint32_t RegistryKey::CreateForWriting(std::u16string_view path, RegistryView view) {
  Close();
  const KeyLocation where = Locate(path, view);
  HKEY key = nullptr;
  const LSTATUS status =
      ::RegCreateKeyExW(where.root, where.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | where.viewFlag, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
  impl_ = std::make_unique<Impl>(key);
  return SysError::kSuccess;
}

uint32_t RegistryKey::OpenForReading(std::u16string_view path, RegistryView view) {
  Close();
  const KeyLocation where = Locate(path, view);
  HKEY key = nullptr;
  const LSTATUS status =
      ::RegOpenKeyExW(where.root, where.path.c_str(), 0,
                      KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | where.viewFlag, &key);
  if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
  impl_ = std::make_unique<Impl>(key);
  return SysError::kSuccess;
}

bool RegistryKey::IsOpen() const { return impl_ != nullptr; }

void RegistryKey::Close() { impl_.reset(); }

uint32_t RegistryKey::SetString(std::u16string_view name, std::u16string_view value) {
  if (!impl_) return SysError::kInvalidParameter;
  const std::wstring data = Wide(value);
  // The data carries its terminating zero: 2 x (length + 1) bytes.
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return static_cast<uint32_t>(::RegSetValueExW(impl_->key_, Wide(name).c_str(), 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(data.c_str()), bytes));
}

uint32_t RegistryKey::SetDword(std::u16string_view name, uint32_t value) {
  if (!impl_) return SysError::kInvalidParameter;
  const DWORD data = value;
  return static_cast<uint32_t>(::RegSetValueExW(impl_->key_, Wide(name).c_str(), 0, REG_DWORD,
                                                reinterpret_cast<const BYTE*>(&data), sizeof data));
}

uint32_t RegistryKey::DeleteValue(std::u16string_view name) {
  if (!impl_) return SysError::kInvalidParameter;
  return static_cast<uint32_t>(::RegDeleteValueW(impl_->key_, Wide(name).c_str()));
}

uint32_t RegistryKey::QueryType(std::u16string_view name, RegistryValueType& type) const {
  if (!impl_) return SysError::kInvalidParameter;
  DWORD raw = REG_NONE;
  const LSTATUS status = ::RegQueryValueExW(impl_->key_, Wide(name).c_str(), nullptr, &raw, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
  type = raw == REG_SZ      ? RegistryValueType::String
         : raw == REG_DWORD ? RegistryValueType::Dword
         : raw == REG_NONE  ? RegistryValueType::None
                            : RegistryValueType::Other;
  return SysError::kSuccess;
}

uint32_t RegistryKey::QueryString(std::u16string_view name, std::u16string& value) const {
  if (!impl_) return SysError::kInvalidParameter;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (const uint32_t err = impl_->Query(name, type, data)) return err;
  if (type != REG_SZ) return SysError::kInvalidParameter;
  // Stored strings need not end with a zero, or may hold more than one.
  std::u16string text(data.size() / sizeof(char16_t), u'\0');
  if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(char16_t));
  const size_t end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
  value = std::move(text);
  return SysError::kSuccess;
}

uint32_t RegistryKey::QueryDword(std::u16string_view name, uint32_t& value) const {
  if (!impl_) return SysError::kInvalidParameter;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (const uint32_t err = impl_->Query(name, type, data)) return err;
  if (type != REG_DWORD || data.size() != sizeof(DWORD)) return SysError::kInvalidParameter;
  DWORD number;
  std::memcpy(&number, data.data(), sizeof number);
  value = number;
  return SysError::kSuccess;
}

uint32_t RegistryKey::SubKeyNames(std::vector<std::u16string>& names) const {
  if (!impl_) return SysError::kInvalidParameter;
  names.clear();
  // A key name holds at most 255 characters.
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LSTATUS status =
        ::RegEnumKeyExW(impl_->key_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return SysError::kSuccess;
    if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
    names.emplace_back(reinterpret_cast<const char16_t*>(name), length);
  }
}

}  // namespace VendraPlatform
