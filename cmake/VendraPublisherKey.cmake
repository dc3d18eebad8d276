# The publisher key the installer trusts for the package manager it starts,
# fixed when the installer is built: the service cannot change it.
#
# VENDRA_PINNED_PUBLISHER_KEY names the publisher's Ed25519 public key as a
# PEM file (`openssl pkey -in KEY_FILE -pubout`). Without it, and while
# VENDRA_ALLOW_THROWAWAY_PUBLISHER_KEY is on, the build makes a throw-away
# key pair of its own in throwaway-publisher-key/ (made once, kept across
# configure runs) and trusts that: for tests and demonstrations, never for
# what ships. The tests sign with the private half, VENDRA_TEST_PUBLISHER_KEY,
# which must be given with a named key when tests are built.
#
# Sets VENDRA_PINNED_PUBLISHER_KEY_BASE64 (the raw 32-byte key in base64) and
# VENDRA_TEST_PUBLISHER_KEY.
set(VENDRA_PINNED_PUBLISHER_KEY "" CACHE FILEPATH
  "The publisher's Ed25519 public key (PEM) the installer trusts for the package manager")
option(VENDRA_ALLOW_THROWAWAY_PUBLISHER_KEY
  "Without VENDRA_PINNED_PUBLISHER_KEY, trust a throw-away key made for this build" ON)
set(VENDRA_TEST_PUBLISHER_KEY "" CACHE FILEPATH
  "The private half of VENDRA_PINNED_PUBLISHER_KEY (PEM), for the tests that publish")

set(pinned_key "${VENDRA_PINNED_PUBLISHER_KEY}")
if(NOT pinned_key)
  if(NOT VENDRA_ALLOW_THROWAWAY_PUBLISHER_KEY)
    message(FATAL_ERROR "This build needs the publisher's key: configure with "
      "-DVENDRA_PINNED_PUBLISHER_KEY=FILE (an Ed25519 public key in PEM)")
  endif()
  set(throwaway_dir "${CMAKE_BINARY_DIR}/throwaway-publisher-key")
  set(pinned_key "${throwaway_dir}/publisher.pub")
  if(NOT EXISTS "${pinned_key}")
    find_program(VENDRA_OPENSSL_PROGRAM openssl REQUIRED)
    file(MAKE_DIRECTORY "${throwaway_dir}")
    file(CHMOD "${throwaway_dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    execute_process(
      COMMAND ${VENDRA_OPENSSL_PROGRAM} genpkey -algorithm ed25519 -out publisher.key
      COMMAND_ERROR_IS_FATAL ANY WORKING_DIRECTORY "${throwaway_dir}")
    file(CHMOD "${throwaway_dir}/publisher.key" PERMISSIONS OWNER_READ OWNER_WRITE)
    # The public half last: its presence says the pair is whole.
    execute_process(
      COMMAND ${VENDRA_OPENSSL_PROGRAM} pkey -in publisher.key -pubout -out publisher.pub.new
      COMMAND_ERROR_IS_FATAL ANY WORKING_DIRECTORY "${throwaway_dir}")
    file(RENAME "${throwaway_dir}/publisher.pub.new" "${pinned_key}")
  endif()
  if(NOT VENDRA_TEST_PUBLISHER_KEY)
    set(VENDRA_TEST_PUBLISHER_KEY "${throwaway_dir}/publisher.key")
  endif()
  message(STATUS "This build's installer trusts a throw-away publisher key (${pinned_key}); "
    "a release names the publisher's with -DVENDRA_PINNED_PUBLISHER_KEY=FILE")
elseif(VENDRA_BUILD_TESTS AND NOT VENDRA_TEST_PUBLISHER_KEY)
  message(FATAL_ERROR "The tests publish package managers the installer must trust: with "
    "VENDRA_PINNED_PUBLISHER_KEY, give its private half as -DVENDRA_TEST_PUBLISHER_KEY=FILE, "
    "or build without tests (-DVENDRA_BUILD_TESTS=OFF)")
endif()

# An Ed25519 public key in PEM is the DER prefix of its algorithm (12 bytes,
# whose base64 is the 16 characters below) followed by the raw key.
file(READ "${pinned_key}" pinned_pem)
string(REGEX REPLACE "-----(BEGIN|END) PUBLIC KEY-----" "" pinned_body "${pinned_pem}")
string(REGEX REPLACE "[ \t\r\n]" "" pinned_body "${pinned_body}")
string(REGEX MATCH "^MCowBQYDK2VwAyEA([A-Za-z0-9+/]+=)$" pinned_match "${pinned_body}")
set(VENDRA_PINNED_PUBLISHER_KEY_BASE64 "${CMAKE_MATCH_1}")
string(LENGTH "${VENDRA_PINNED_PUBLISHER_KEY_BASE64}" pinned_length)
if(NOT pinned_pem MATCHES "^-----BEGIN PUBLIC KEY-----" OR NOT pinned_length EQUAL 44)
  message(FATAL_ERROR "${pinned_key} holds no Ed25519 public key in PEM "
    "(make one with: openssl pkey -in KEY_FILE -pubout -out ${pinned_key})")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pinned_key}")
