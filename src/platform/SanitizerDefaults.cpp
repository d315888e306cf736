// Linked into every program of a sanitizer build (never into a release): the sanitizers'
// defaults. The leak check at exit misreads the dynamic thread-local storage that libraries
// loaded with the media engine set up under this glibc, and crashes walking it; those blocks
// are left untracked, and everything else is checked. Options given in ASAN_OPTIONS still
// apply over these.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
