# The body of the mingw-w64 toolchain files: a cross-build for Windows on the
# processor that the including file names in SONABAR_MINGW_ARCH (i686 or
# x86_64), with that target's compilers, resource compiler and libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SONABAR_MINGW_ARCH})
set(SONABAR_MINGW_PREFIX ${SONABAR_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${SONABAR_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${SONABAR_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER  ${SONABAR_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SONABAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
