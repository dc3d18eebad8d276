#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The machine-wide registry hive (HKEY_LOCAL_MACHINE). Answers are Windows
// system error numbers. Every single write is atomic and seen at once by
// other processes.
namespace VendraPlatform {

enum class RegistryView { Default32, View64 };

enum class RegistryValueType : uint32_t { None = 0, String = 1, Dword = 4, Other = 0xFFFFFFFF };

class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(RegistryKey&&) noexcept;
  RegistryKey& operator=(RegistryKey&&) noexcept;

  // Opens the key below HKEY_LOCAL_MACHINE for writing, creating it and its
  // parents when missing.
  uint32_t CreateForWriting(std::u16string_view path, RegistryView view);
  // Opens an existing key for reading.
  uint32_t OpenForReading(std::u16string_view path, RegistryView view);
  bool IsOpen() const;
  void Close();

  uint32_t SetString(std::u16string_view name, std::u16string_view value);
  uint32_t SetDword(std::u16string_view name, uint32_t value);
  uint32_t DeleteValue(std::u16string_view name);

  uint32_t QueryType(std::u16string_view name, RegistryValueType& type) const;
  uint32_t QueryString(std::u16string_view name, std::u16string& value) const;
  uint32_t QueryDword(std::u16string_view name, uint32_t& value) const;
  // The names of the key's own sub-keys (not theirs), as they were first
  // written, in no particular order.
  uint32_t SubKeyNames(std::vector<std::u16string>& names) const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace VendraPlatform
