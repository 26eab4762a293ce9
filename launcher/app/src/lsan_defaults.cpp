// Linked into sanitized launcher builds only. GTK's start-up keeps
// fontconfig caches and a D-Bus connection for the life of the process;
// those third-party blocks are not leaks of ours. Nor is OpenSSL's
// per-thread state of an update worker that is still winding down when the
// window closes and the process ends (the worker is never waited for).
// The summary of used suppressions stays off so the program's error output
// is only its log.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libcrypto.so\n";
}

extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
