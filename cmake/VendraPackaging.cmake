# `cpack` in a build folder makes, from the install rules (VendraInstall):
#  - on Linux, two Debian packages: vendra-tools (the programs) and
#    libvendra-client-dev (headers, static libraries, CMake package,
#    pkg-config file), installed below /usr;
#  - for Windows, one SDK archive (zip) of everything installed.
# The service stand-in is a test program and is in neither.
set(CPACK_PACKAGE_NAME vendra)
set(CPACK_PACKAGE_VENDOR "Vendra Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vendra Software's package manager, tools and client library")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vendra Software")
set(CPACK_STRIP_FILES OFF)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vendra-client-sdk-${PROJECT_VERSION}-windows-x64)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Programs Development)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME vendra-tools)
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvendra-client-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libcurl4-openssl-dev | libcurl-dev, zlib1g-dev, libssl-dev")
endif()
include(CPack)
