// Sanitizer suppressions for the test programs, third-party only. Nothing
// of ours is listed; a leak or a race in our code still fails the tests.

// fontconfig keeps its pattern caches for the life of the process, and
// GTK's start-up leaves a D-Bus connection behind.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n";
}

// Pango loads fontconfig's configuration on a thread of its own ("[pango]
// FcInit") while the first text is measured; fontconfig hands its strings
// over with its own atomics, which the race detector cannot see in an
// uninstrumented library.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libfontconfig.so\n";
}
