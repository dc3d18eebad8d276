// Win32 layer only.
#include "platform/shared_memory.h"

#include <string>

#include "platform/win32/ownership.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

SharedMemory::~SharedMemory() { Close(); }

uint32_t SharedMemory::OpenExisting(std::u16string_view name) {
  Close();
  const std::wstring wideName = Win32::Wide(name);
  HANDLE mapping = ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, wideName.c_str());
  if (!mapping) return ::GetLastError();
  // A block another user made would hand them the token written into it.
  if (!Win32::TrustedObject(mapping)) {
    ::CloseHandle(mapping);
    return ERROR_ACCESS_DENIED;
  }
  handle_ = reinterpret_cast<intptr_t>(mapping);
  name_ = name;
  return 0;
}

uint32_t SharedMemory::Create(std::u16string_view name, uint32_t size) {
  Close();
  const std::wstring wideName = Win32::Wide(name);
  // Backed by the paging file, open to its creator, the system and the
  // Administrators only; an existing mapping of that name is opened, and
  // used only when its owner is trusted.
  Win32::PrivateSecurity security;
  const bool secured = security.Build() == ERROR_SUCCESS;
  HANDLE mapping =
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, secured ? security.attributes() : nullptr,
                           PAGE_READWRITE, 0, size, wideName.c_str());
  if (!mapping) return ::GetLastError();
  if (::GetLastError() == ERROR_ALREADY_EXISTS && !Win32::TrustedObject(mapping)) {
    ::CloseHandle(mapping);
    return ERROR_ACCESS_DENIED;
  }
  handle_ = reinterpret_cast<intptr_t>(mapping);
  name_ = name;
  return 0;
}

uint32_t SharedMemory::Map(uint32_t size) {
  if (!IsOpen()) return ERROR_INVALID_PARAMETER;
  if (view_) return 0;
  void* view = ::MapViewOfFile(Handle(handle_), FILE_MAP_ALL_ACCESS, 0, 0, size);
  if (!view) return ::GetLastError();
  view_ = view;
  viewSize_ = size;
  return 0;
}

void SharedMemory::Unmap() {
  if (!view_) return;
  ::UnmapViewOfFile(view_);
  view_ = nullptr;
  viewSize_ = 0;
}

void SharedMemory::Close() {
  Unmap();
  if (!IsOpen()) return;
  ::CloseHandle(Handle(handle_));
  handle_ = kNone;
  name_.clear();
}

}  // namespace VendraPlatform
