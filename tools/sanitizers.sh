# The sanitizers' run-time settings, one place for every sanitized program we run: sourced
# by ./test, tests/soak/run and bench/report, and read by tests/e2e/driver.py.
#   ASan: leaks checked at exit; an error ends the program with SIGABRT.
#   UBSan: a stack for each report, and the first one ends the program.
#   LSan: the leaks that are not ours (tests/lsan.supp) are left out, without a list of them.
#   TSan: the first race ends the program; a deadlock report shows both stacks.
# Test programs add their own compiled-in defaults (tests/support/sanitizer_defaults.cpp).
_av_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$_av_root/tests/lsan.supp:print_suppressions=0
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
unset _av_root
