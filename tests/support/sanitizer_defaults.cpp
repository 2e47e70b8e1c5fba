// Sanitizer defaults for every test program; the environment may still override them.
//
// LeakSanitizer sizes a block of dynamic TLS from a header it expects in front of the
// block whenever the block starts 16 bytes into a page. glibc writes no such header: a
// block that lands there by chance (a small one that Mesa makes on the main thread) sends
// the leak check at exit into garbage, and the test dies with "Tracer caught signal 11".
// The blocks are heap memory reachable from the thread's own table anyway, so the leak
// check loses nothing by not following them.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

// SDL's video start-up leaves one allocation of the system's D-Bus library behind; it is
// not ours and cannot be freed from here (tests/lsan.supp says so to the scripts).
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
