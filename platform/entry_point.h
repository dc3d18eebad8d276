#pragma once

// A program of ours defines VendraMain; the platform's own entry point (main,
// or wWinMain on Windows) calls it with the module instance handle.
int VendraMain(void* moduleInstance);
