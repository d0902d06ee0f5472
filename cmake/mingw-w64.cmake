# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, for std::thread and std::mutex). Programs built with it run under
# wine, which CTest uses to run the tests.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# PARCELO_WINDOWS_DEPS names the folder holding the cross-built OpenSSL,
# libxml2, libssh, Qt and GoogleTest prefixes (scripts/windows-deps fills it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PARCELO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PARCELO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PARCELO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PARCELO_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${PARCELO_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${PARCELO_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Tests run under wine in a prefix of the build folder's own (scripts/build-windows
# creates it with `wineboot -i`), quiet, and without the Linux side's certificate
# variables, which wine would pass through.
find_program(PARCELO_WINE wine REQUIRED)
set(PARCELO_WINEPREFIX "${CMAKE_BINARY_DIR}/wine" CACHE PATH "The wine prefix the tests run in")
set(CMAKE_CROSSCOMPILING_EMULATOR env -u SSL_CERT_FILE -u SSL_CERT_DIR
  WINEPREFIX=${PARCELO_WINEPREFIX} WINEDEBUG=-all ${PARCELO_WINE})

if(NOT PARCELO_WINDOWS_DEPS)
  set(PARCELO_WINDOWS_DEPS "$ENV{HOME}/.cache/parcelo-windows")
endif()
set(PARCELO_WINDOWS_DEPS "${PARCELO_WINDOWS_DEPS}" CACHE PATH "Cross-built OpenSSL, libxml2, libssh, Qt and GoogleTest")
# The toolchain file is read again for every try-compile: pass the folder on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PARCELO_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${PARCELO_MINGW_TRIPLET})
foreach(dep openssl libxml2 googletest libssh qt6-base)
  list(APPEND CMAKE_FIND_ROOT_PATH ${PARCELO_WINDOWS_DEPS}/${dep})
endforeach()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's build tools (moc, rcc, uic) are the build machine's own Qt, of the
# same version as the cross-built one.
set(QT_HOST_PATH /usr CACHE PATH "The host Qt")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake packages")
