// Leak-checker suppressions for the test programs, third-party only:
// fontconfig keeps its pattern caches for the life of the process, and
// GTK's start-up leaves a D-Bus connection behind.
// Nothing of ours is listed; a leak in toolkit code still fails the tests.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n";
}
