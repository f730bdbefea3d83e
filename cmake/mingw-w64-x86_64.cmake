# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX-thread compilers of the
# mingw-w64 package).
#
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DKISTORA_WINDOWS_DEPS="$(bash scripts/windows-deps.sh --print-prefix)"
#
# KISTORA_WINDOWS_DEPS (or the environment variable of that name) is the static prefix that
# scripts/windows-deps.sh builds: CMake packages, libraries and headers are looked for there and in
# the MinGW-w64 sysroot, never on the build machine, and pkg-config reads only that prefix's .pc
# files. Executables are linked statically (libgcc, libstdc++ and winpthreads included), so a
# program is a single .exe that needs nothing but Windows' own DLLs. When wine64 is installed it
# runs the cross-compiled programs that CMake and CTest start (try_run, tests).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KISTORA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KISTORA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KISTORA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KISTORA_MINGW_TRIPLET}-windres)
set(CMAKE_AR /usr/bin/${KISTORA_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB /usr/bin/${KISTORA_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "Ranlib")

if(NOT KISTORA_WINDOWS_DEPS AND DEFINED ENV{KISTORA_WINDOWS_DEPS})
  set(KISTORA_WINDOWS_DEPS "$ENV{KISTORA_WINDOWS_DEPS}")
endif()
# try_compile projects read this file again; hand them the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KISTORA_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${KISTORA_MINGW_TRIPLET})
if(KISTORA_WINDOWS_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${KISTORA_WINDOWS_DEPS}")
  list(PREPEND CMAKE_PREFIX_PATH "${KISTORA_WINDOWS_DEPS}")
  set(ENV{PKG_CONFIG_LIBDIR} "${KISTORA_WINDOWS_DEPS}/lib/pkgconfig")
else()
  # Without the prefix, pkg-config still must not find the build machine's libraries.
  set(ENV{PKG_CONFIG_LIBDIR} "/usr/${KISTORA_MINGW_TRIPLET}/lib/pkgconfig")
endif()
unset(ENV{PKG_CONFIG_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(KISTORA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KISTORA_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${KISTORA_WINE64}")
endif()
