# `cpack` in a Linux build folder makes, from the install rules
# (VendraInstall), two Debian packages: vendra-tools (the programs) and
# libvendra-client-dev (headers, static libraries, CMake package, pkg-config
# file), installed below /usr. The service stand-in is a test program and is
# in neither. (The Windows SDK archive holds the signed programs, which are
# made after the build: scripts/sdk-test.sh packs it.)
set(CPACK_PACKAGE_NAME vendra)
set(CPACK_PACKAGE_VENDOR "Vendra Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vendra Software's package manager, tools and client library")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vendra Software")
set(CPACK_STRIP_FILES OFF)
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
include(CPack)
