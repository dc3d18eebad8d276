# Dependencies of the Windows build (cross-compiled with mingw-w64, see
# toolchain-mingw64.cmake), none of which Debian packages for Windows:
#  - libcurl, static with Schannel TLS, built by scripts/build-curl-windows.sh
#    into a cache outside the work tree; VENDRA_CURL_MINGW_PREFIX names it;
#  - libsodium, static, built the same way by scripts/build-libsodium-windows.sh;
#    VENDRA_SODIUM_MINGW_PREFIX names it;
#  - GoogleTest, built here from Debian's source copy in /usr/src/googletest.

set(VENDRA_CURL_MINGW_PREFIX "/var/cache/vendra/curl-mingw-current" CACHE PATH
  "Install prefix of the static Windows libcurl (scripts/build-curl-windows.sh prints it)")

find_library(VENDRA_CURL_MINGW_LIBRARY NAMES libcurl.a
  PATHS ${VENDRA_CURL_MINGW_PREFIX}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VENDRA_CURL_MINGW_LIBRARY OR NOT EXISTS ${VENDRA_CURL_MINGW_PREFIX}/include/curl/curl.h)
  message(FATAL_ERROR "No static Windows libcurl in ${VENDRA_CURL_MINGW_PREFIX}: "
    "run scripts/build-curl-windows.sh and pass its answer as -DVENDRA_CURL_MINGW_PREFIX=")
endif()
add_library(CURL::libcurl STATIC IMPORTED GLOBAL)
set_target_properties(CURL::libcurl PROPERTIES
  IMPORTED_LOCATION ${VENDRA_CURL_MINGW_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${VENDRA_CURL_MINGW_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "ZLIB::ZLIB;bcrypt;advapi32;crypt32;ws2_32")
set(CURL_FOUND TRUE)

set(VENDRA_SODIUM_MINGW_PREFIX "/var/cache/vendra/libsodium-mingw-current" CACHE PATH
  "Install prefix of the static Windows libsodium (scripts/build-libsodium-windows.sh prints it)")
find_library(VENDRA_SODIUM_MINGW_LIBRARY NAMES libsodium.a
  PATHS ${VENDRA_SODIUM_MINGW_PREFIX}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VENDRA_SODIUM_MINGW_LIBRARY OR NOT EXISTS ${VENDRA_SODIUM_MINGW_PREFIX}/include/sodium.h)
  message(FATAL_ERROR "No static Windows libsodium in ${VENDRA_SODIUM_MINGW_PREFIX}: "
    "run scripts/build-libsodium-windows.sh and pass its answer as -DVENDRA_SODIUM_MINGW_PREFIX=")
endif()
add_library(Sodium::Sodium STATIC IMPORTED GLOBAL)
set_target_properties(Sodium::Sodium PROPERTIES
  IMPORTED_LOCATION ${VENDRA_SODIUM_MINGW_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${VENDRA_SODIUM_MINGW_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
  INTERFACE_LINK_LIBRARIES advapi32)

if(VENDRA_BUILD_TESTS AND NOT TARGET GTest::gtest)
  set(VENDRA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${VENDRA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()

# The test suites that talk to the service stand-in read its JSON with the
# header-only nlohmann/json. Only that folder of the system's headers joins
# the Windows build, through a folder of its own, so that no other Linux
# header can stand in for a Windows one.
set(VENDRA_LINUX_SERVICE "" CACHE FILEPATH
  "The Linux build's vendra-service: the Windows tests that need the service start it under Wine")
if(VENDRA_BUILD_TESTS AND VENDRA_LINUX_SERVICE AND EXISTS /usr/include/nlohmann/json.hpp)
  set(VENDRA_NLOHMANN_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-include)
  file(MAKE_DIRECTORY ${VENDRA_NLOHMANN_INCLUDE})
  file(CREATE_LINK /usr/include/nlohmann ${VENDRA_NLOHMANN_INCLUDE}/nlohmann SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${VENDRA_NLOHMANN_INCLUDE})
endif()
