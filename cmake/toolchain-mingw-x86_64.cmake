# Cross-build for 64-bit Windows (runs here under wine64) with mingw-w64.
set(SONABAR_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
