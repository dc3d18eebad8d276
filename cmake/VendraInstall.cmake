# What `cmake --install` puts under the prefix: the client library (public
# headers, static libraries, the CMake package VendraClient and the
# pkg-config file vendra-client), and the programs unless only the library
# is built. `cpack` makes Debian packages of the same (VendraPackaging).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
include(VendraPublicHeaders)

# The layers, lowest first, with the names their targets have in the package
# (VendraClient::json, ...). A caller who links the top ones gets the rest.
set(VENDRA_LIBRARY_LAYERS
  vendra_common:common vendra_platform:platform vendra_json:json vendra_md5:md5
  vendra_install:install vendra_async:async vendra_client:client
  vendra_build_client:build_client vendra_ui:ui vendra_crash:crash)
set(VENDRA_LIBRARY_TARGETS)
foreach(layer IN LISTS VENDRA_LIBRARY_LAYERS)
  string(REPLACE ":" ";" pair "${layer}")
  list(GET pair 0 target)
  list(GET pair 1 name)
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  target_include_directories(${target} INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/vendra>)
  add_library(VendraClient::${name} ALIAS ${target})
  list(APPEND VENDRA_LIBRARY_TARGETS ${target})
endforeach()

# The whole library in one name, for callers who want everything.
add_library(vendra_client_all INTERFACE)
set_target_properties(vendra_client_all PROPERTIES EXPORT_NAME VendraClient)
target_link_libraries(vendra_client_all INTERFACE vendra_crash vendra_ui vendra_build_client)
add_library(VendraClient::VendraClient ALIAS vendra_client_all)

# Headers keep their folders, below include/vendra, so that the same include
# lines ("client/v_client.h") work in the tree and from an installed copy.
foreach(header IN LISTS VENDRA_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vendra/${folder} COMPONENT Development)
endforeach()

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/VendraClient)
install(TARGETS ${VENDRA_LIBRARY_TARGETS} vendra_client_all EXPORT VendraClientTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(EXPORT VendraClientTargets NAMESPACE VendraClient:: DESTINATION ${package_dir}
  COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VendraClientConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VendraClientConfig.cmake INSTALL_DESTINATION ${package_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VendraClientConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VendraClientConfig.cmake
  ${CMAKE_BINARY_DIR}/VendraClientConfigVersion.cmake
  DESTINATION ${package_dir} COMPONENT Development)

if(WIN32)
  # The static Windows libcurl the library links (the package names it).
  install(FILES ${VENDRA_CURL_MINGW_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT Development)
endif()

if(NOT WIN32)
  # The pkg-config file finds the prefix from its own place, so that the
  # installed tree can be moved (or unpacked anywhere).
  file(RELATIVE_PATH VENDRA_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" VENDRA_PC_TO_PREFIX "${VENDRA_PC_TO_PREFIX}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/vendra-client.pc.in
    ${CMAKE_BINARY_DIR}/vendra-client.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/vendra-client.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
endif()

if(NOT VENDRA_LIBRARY_ONLY)
  # The service stand-in is for tests and demonstrations; it is not installed.
  # The product's installer is what its users download, not a tool.
  set(programs VendraBuild VendraCrashMobile)
  if(TARGET vendra-catalogue)
    list(APPEND programs vendra-catalogue)
  endif()
  install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Programs)
  install(TARGETS TandoryInstaller RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT Installer)
  if(NOT WIN32)
    include(VendraPackaging)
  endif()
endif()
