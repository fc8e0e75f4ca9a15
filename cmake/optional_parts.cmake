# What the Linux build makes besides the program, and why, said in the
# configure output. The program needs only its own libraries; the tests and
# the benchmarks need more, and are built when that is found:
#   SONABAR_BUILD_TESTS  AUTO (the default): the unit tests when GoogleTest is
#                        found, the integration tests when FUSE 3 (their
#                        parallel port) is found too; ON: both, and a missing
#                        library is an error; OFF: none.
#   SONABAR_BUILD_BENCH  AUTO: the benchmarks when Google Benchmark is found;
#                        ON: required; OFF: none. Either way the measurement
#                        helpers stay targets that the scripts build by name.
#   SONABAR_FUZZ         ON: the fuzz targets as libFuzzer programs (clang);
#                        otherwise they replay their corpora with the tests.
# Sets SONABAR_TESTS, SONABAR_INTEGRATION_TESTS and SONABAR_BENCH, and
# SONABAR_SUMMARY: the lines that the end of the configure prints.
set(SONABAR_BUILD_TESTS AUTO CACHE STRING "Build the tests: AUTO (when GoogleTest is found), ON or OFF")
set(SONABAR_BUILD_BENCH AUTO CACHE STRING "Build the benchmarks: AUTO (when Google Benchmark is found), ON or OFF")
set_property(CACHE SONABAR_BUILD_TESTS PROPERTY STRINGS AUTO ON OFF)
set_property(CACHE SONABAR_BUILD_BENCH PROPERTY STRINGS AUTO ON OFF)

find_package(GTest QUIET)
find_package(benchmark QUIET)
pkg_check_modules(FUSE3 QUIET IMPORTED_TARGET fuse3)

# sonabar_part(VARIABLE SETTING FOUND MISSING): VARIABLE is true when SETTING
# is ON (then FOUND must hold, or the configure stops naming MISSING) or AUTO
# and FOUND; SONABAR_WHY says why it is not, for the summary.
macro(sonabar_part variable setting found missing)
  set(${variable} FALSE)
  set(SONABAR_WHY "")
  string(TOUPPER "${${setting}}" sonabar_mode)
  if(sonabar_mode STREQUAL "AUTO")
    if(${found})
      set(${variable} TRUE)
    else()
      set(SONABAR_WHY "${missing} not found, ${setting}=ON insists")
    endif()
  elseif(${setting})
    if(NOT ${found})
      message(FATAL_ERROR "${setting}=ON, but ${missing} is not found")
    endif()
    set(${variable} TRUE)
  else()
    set(SONABAR_WHY "${setting}=${${setting}}")
  endif()
endmacro()

# The usual CTest switch still turns the tests off.
if(DEFINED BUILD_TESTING AND NOT BUILD_TESTING)
  set(SONABAR_BUILD_TESTS OFF)
endif()

set(SONABAR_SUMMARY "Sonabar: the program, and besides it:")
sonabar_part(SONABAR_TESTS SONABAR_BUILD_TESTS GTest_FOUND "GoogleTest (libgtest-dev)")
if(SONABAR_TESTS)
  list(APPEND SONABAR_SUMMARY "  unit tests and fuzz corpus replays: yes")
else()
  list(APPEND SONABAR_SUMMARY "  unit tests and fuzz corpus replays: no (${SONABAR_WHY})")
endif()

# The thread build leaves the integration tests out: GLib synchronises through
# futexes of its own that the thread sanitizer cannot see in the uninstrumented
# desktop libraries, so it would report races between their threads that are none.
set(SONABAR_INTEGRATION_TESTS FALSE)
if(NOT SONABAR_TESTS)
  list(APPEND SONABAR_SUMMARY "  integration tests: no (no unit tests)")
elseif(SONABAR_SANITIZE STREQUAL "thread")
  list(APPEND SONABAR_SUMMARY "  integration tests: no (not under the thread sanitizer)")
else()
  sonabar_part(SONABAR_INTEGRATION_TESTS SONABAR_BUILD_TESTS FUSE3_FOUND "FUSE 3 (libfuse3-dev)")
  if(SONABAR_INTEGRATION_TESTS)
    list(APPEND SONABAR_SUMMARY "  integration tests: yes")
  else()
    list(APPEND SONABAR_SUMMARY "  integration tests: no (${SONABAR_WHY})")
  endif()
endif()

sonabar_part(SONABAR_BENCH SONABAR_BUILD_BENCH benchmark_FOUND "Google Benchmark (libbenchmark-dev)")
if(SONABAR_BENCH)
  list(APPEND SONABAR_SUMMARY "  benchmarks: yes")
else()
  list(APPEND SONABAR_SUMMARY "  benchmarks: no (${SONABAR_WHY}), their helpers build by name")
endif()

if(SONABAR_FUZZ)
  list(APPEND SONABAR_SUMMARY "  fuzz targets: libFuzzer programs (SONABAR_FUZZ=ON)")
else()
  list(APPEND SONABAR_SUMMARY "  fuzz targets as libFuzzer programs: no (SONABAR_FUZZ=OFF)")
endif()
