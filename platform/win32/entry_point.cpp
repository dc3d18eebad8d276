// Win32 layer only.
#include "platform/entry_point.h"
#include "platform/win32/windows_api.h"

// The narrow entry point needs no extra linker switch; the command line is
// not used (the program works from its own file name).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return VendraMain(instance); }
