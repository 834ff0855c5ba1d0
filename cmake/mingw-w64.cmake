# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads
# flavour, which the C++ runtime needs for std::thread and friends).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAPEHISS_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAPEHISS_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAPEHISS_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TAPEHISS_MINGW_HOST}-windres)
set(CMAKE_ASM_COMPILER ${TAPEHISS_MINGW_HOST}-gcc-posix)
# Libraries and headers come from the cross prefix only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TAPEHISS_MINGW_HOST} $ENV{TAPEHISS_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
