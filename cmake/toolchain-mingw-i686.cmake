# Cross-build for 32-bit Windows (the program's home platform) with mingw-w64.
set(SONABAR_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
