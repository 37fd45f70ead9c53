# The PAPPL the printer application links: the target `pappl`.
#
# By default PAPPL 1.4.11 from this folder, with the project's patches (patches/pappl/:
# faults of PAPPL's job scheduling, raster streaming, attribute searches, state loading
# and web page authorization that no public interface can avoid), built as a static
# library inside the build folder and linked into the program. Other builds of it are
# for testing the app against another PAPPL:
#   -DVANTEL_PAPPL_TARBALL=third_party/pappl-1.3.1.tar.gz
#   -DVANTEL_PAPPL_PATCHES=patches/pappl-1.3.1    another release with its patches
#   -DVANTEL_PAPPL_SHARED=ON                      as a shared library, with
#   -DVANTEL_PAPPL_DSOFLAGS=-Wl,-Bsymbolic-functions  its own link flags
#   -DVANTEL_PAPPL=system                         the machine's (pkg-config pappl)

set(VANTEL_PAPPL bundled CACHE STRING "The PAPPL the printer application links: bundled or system")
set_property(CACHE VANTEL_PAPPL PROPERTY STRINGS bundled system)
set(VANTEL_PAPPL_TARBALL ${PROJECT_SOURCE_DIR}/third_party/pappl-1.4.11.tar.gz CACHE FILEPATH
    "The PAPPL source release the bundled PAPPL is built from")
set(VANTEL_PAPPL_PATCHES ${PROJECT_SOURCE_DIR}/patches/pappl CACHE PATH
    "The folder of patches applied to the bundled PAPPL, in the order of their names")
option(VANTEL_PAPPL_SHARED "Build the bundled PAPPL as a shared library" OFF)
set(VANTEL_PAPPL_DSOFLAGS "" CACHE STRING "Link flags of a shared bundled PAPPL")

add_library(pappl INTERFACE)

if(VANTEL_PAPPL STREQUAL "system")
  pkg_check_modules(PAPPL REQUIRED IMPORTED_TARGET pappl)
  message(STATUS "PAPPL: the system's ${PAPPL_VERSION}, without the project's patches")
  target_link_libraries(pappl INTERFACE PkgConfig::PAPPL)
  return()
elseif(NOT VANTEL_PAPPL STREQUAL "bundled")
  message(FATAL_ERROR "VANTEL_PAPPL is bundled or system, not \"${VANTEL_PAPPL}\"")
endif()

include(ExternalProject)
if(POLICY CMP0135)
  cmake_policy(SET CMP0135 NEW)  # the unpacked files get the time they are unpacked at
endif()
find_package(Threads REQUIRED)
find_package(JPEG REQUIRED)
find_package(ZLIB REQUIRED)
pkg_check_modules(PAPPL_DEPS REQUIRED IMPORTED_TARGET avahi-client gnutls libusb-1.0)
find_library(PAM_LIBRARY pam REQUIRED)
find_path(PAM_INCLUDE_DIR security/pam_appl.h REQUIRED)

# The releases in this folder are checked against their checksums (README.md).
set(pappl_sha256_pappl-1.4.11.tar.gz db9386ca2109036743d82639b3d086c5bc1b228f1ffc8fca9f27e07e10dcfbb6)
set(pappl_sha256_pappl-1.3.1.tar.gz 890fd12aca8e2b2a45d5a89ba5fc74b9ad8d3eeef39d31c6bbf9c563c311223a)
get_filename_component(pappl_tarball_name ${VANTEL_PAPPL_TARBALL} NAME)
if(DEFINED pappl_sha256_${pappl_tarball_name})
  set(pappl_hash URL_HASH SHA256=${pappl_sha256_${pappl_tarball_name}})
else()
  file(SHA256 ${VANTEL_PAPPL_TARBALL} pappl_sha256)
  set(pappl_hash URL_HASH SHA256=${pappl_sha256})
endif()

file(GLOB pappl_patches ${VANTEL_PAPPL_PATCHES}/*.patch)
list(SORT pappl_patches)
string(REGEX REPLACE "^.*/pappl[-_]([0-9.]+)(\\.orig)?\\.tar\\.gz$" "\\1" pappl_version ${VANTEL_PAPPL_TARBALL})
list(LENGTH pappl_patches pappl_patch_count)
set(pappl_patch_commands true)
foreach(patch IN LISTS pappl_patches)
  list(APPEND pappl_patch_commands COMMAND patch -p1 --batch --forward -i ${patch})
endforeach()
message(STATUS "PAPPL: ${pappl_version} bundled, with ${pappl_patch_count} patches from ${VANTEL_PAPPL_PATCHES}")

# PAPPL's configure script is given the project's compiler and flags (the hardening of a
# release build, a cross compiler and its sysroot's folders).
string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(pappl_cflags "${CMAKE_C_FLAGS} ${CMAKE_C_FLAGS_${build_type}}")
set(pappl_ldflags "${CMAKE_EXE_LINKER_FLAGS}")
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -dumpmachine OUTPUT_VARIABLE host OUTPUT_STRIP_TRAILING_WHITESPACE)
  foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
    string(APPEND pappl_cflags " -isystem ${root}/usr/include")
    string(APPEND pappl_ldflags " -L${root}/usr/lib/${host} -L${root}/lib/${host}")
  endforeach()
  set(pappl_host --host=${host})
endif()

# PAPPL passes time_t values to libcups, and the program passes them to PAPPL
# (papplClientRespond): the three must have the same time_t. It has 64 bits on 64-bit
# machines; on 32-bit ones the C library's default 32 unless the flags ask for 64, while
# libcups has the one its own build had (64 on Debian 13 for armhf, 32 on Debian 12).
# PAPPL's configure asks libcups which (patches/pappl/0007). So does this, with the same
# program, where a program can run (natively, or through the emulator of a cross build),
# and gives its answer to PAPPL's configure and the time_t to the program; a cross build
# without an emulator takes the default, as PAPPL's configure then does.
include(CheckTypeSize)
check_type_size(time_t VANTEL_TIME_T_SIZE LANGUAGE C)
set(pappl_time64)
if(VANTEL_TIME_T_SIZE EQUAL 4 AND (NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR))
  set(time64_check ${CMAKE_BINARY_DIR}/pappl-time64/check.c)
  file(WRITE ${time64_check} [=[
#include <cups/cups.h>
/* 2^32 seconds are in 2106 for a libcups with a 64-bit time_t, and in 1970 for one that
   reads half of the value. */
int main(void) {
  const ipp_uchar_t *date = ippTimeToDate((time_t)1 << 32);
  return !date || date[0] != (2106 >> 8) || date[1] != (2106 & 255);
}
]=])
  try_run(cups_time64_ran cups_time64_built ${CMAKE_BINARY_DIR}/pappl-time64 ${time64_check}
          COMPILE_DEFINITIONS -D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64 LINK_LIBRARIES Cups::Cups)
  if(cups_time64_built AND cups_time64_ran EQUAL 0)
    message(STATUS "PAPPL: libcups has a 64-bit time_t: PAPPL and the program are built with one")
    set(pappl_time64 pappl_cv_cups_time64=yes)
    target_compile_definitions(pappl INTERFACE _TIME_BITS=64 _FILE_OFFSET_BITS=64)
  else()
    set(pappl_time64 pappl_cv_cups_time64=no)
  endif()
endif()

if(VANTEL_PAPPL_SHARED)
  set(pappl_kind --disable-static)
  set(pappl_library ${CMAKE_BINARY_DIR}/pappl/lib/libpappl.so.1)
else()
  set(pappl_kind --disable-shared)
  set(pappl_library ${CMAKE_BINARY_DIR}/pappl/lib/libpappl.a)
endif()

ExternalProject_Add(pappl_build
  URL ${VANTEL_PAPPL_TARBALL}
  ${pappl_hash}
  PREFIX ${CMAKE_BINARY_DIR}/pappl-build
  INSTALL_DIR ${CMAKE_BINARY_DIR}/pappl
  PATCH_COMMAND ${pappl_patch_commands}
  CONFIGURE_COMMAND <SOURCE_DIR>/configure --prefix=<INSTALL_DIR> ${pappl_host} ${pappl_kind}
    --with-dnssd=avahi --with-tls=gnutls --enable-libjpeg --enable-libpng --enable-libusb --enable-libpam
    "--with-dsoflags=${VANTEL_PAPPL_DSOFLAGS}"
    "CC=${CMAKE_C_COMPILER}" "CFLAGS=${pappl_cflags}" "LDFLAGS=${pappl_ldflags}" ${pappl_time64}
  BUILD_IN_SOURCE ON
  BUILD_COMMAND $(MAKE) -C pappl
  INSTALL_COMMAND $(MAKE) -C pappl install
  BUILD_BYPRODUCTS ${pappl_library}
  LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
# A changed patch unpacks the release again and builds it anew.
ExternalProject_Add_StepDependencies(pappl_build download ${pappl_patches} ${VANTEL_PAPPL_TARBALL})

add_dependencies(pappl pappl_build)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/pappl/include)
target_include_directories(pappl SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/pappl/include)
target_link_libraries(pappl INTERFACE ${pappl_library} Cups::Cups PkgConfig::PAPPL_DEPS
                      PNG::PNG JPEG::JPEG ZLIB::ZLIB ${PAM_LIBRARY} Threads::Threads ${CMAKE_DL_LIBS} m)
if(VANTEL_PAPPL_SHARED)
  # The tests run the program from the build folder, where its PAPPL is.
  set_property(TARGET pappl APPEND PROPERTY INTERFACE_LINK_OPTIONS
               "LINKER:-rpath,${CMAKE_BINARY_DIR}/pappl/lib")
endif()
