# Cross-building for 64-bit ARM Linux with Debian's cross compiler and the
# arm64 development packages of its multiarch layout; programs built here
# run on this machine under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_ASM_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)

# Libraries, headers and packages of the target only; programs of the host.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr/lib/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# A prefix of our own static SDL2 and SDL2_mixer (tools/build-linux.sh)
# takes the place of the system's.
if(DEFINED ENV{TAPEHISS_LINUX_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} $ENV{TAPEHISS_LINUX_PREFIX}/lib/pkgconfig)
else()
  set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
endif()
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
