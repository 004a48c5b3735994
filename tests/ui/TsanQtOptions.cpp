// Qt is not built with ThreadSanitizer: its painting hands work to its own thread pool and synchronises
// through futexes the sanitizer cannot see, so every window that paints would be reported. Accesses made
// by the program's own code stay checked; only the interceptors called from Qt's (and other unchecked)
// libraries are left out.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif
