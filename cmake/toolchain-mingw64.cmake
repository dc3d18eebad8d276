# Cross-compiles the 64-bit Windows build with mingw-w64 (Debian packages
# mingw-w64 and g++-mingw-w64-x86-64-posix). The posix thread model is the one
# whose C++ library has std::mutex and std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VENDRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VENDRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VENDRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VENDRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VENDRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, so that the programs need only the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
# FindZLIB would take the import library libz.dll.a, which needs zlib1.dll.
set(ZLIB_LIBRARY /usr/${VENDRA_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "Static zlib for Windows")

# Test programs run under Wine when CTest starts them, one at a time.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
