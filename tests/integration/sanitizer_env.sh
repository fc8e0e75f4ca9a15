# Sanitizer settings for runs of the real program (integration tests, the
# soak): reports abort the run, leaks are checked at exit, and the leak
# checker skips the third-party desktop libraries listed in
# tests/sanitizers/lsan.supp. Values already in the environment win, so CTest
# or a developer can override them. Harmless for a build without sanitizers.
_sanitizer_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$_sanitizer_root/tests/sanitizers/lsan.supp:print_suppressions=0}
unset _sanitizer_root
