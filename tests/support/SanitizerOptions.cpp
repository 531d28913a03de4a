// The settings of the sanitizers, carried by every test program itself, so that they hold however
// the program is started (by CTest, by hand, under a debugger). The sanitizer runtimes ask for
// them at start; in builds without sanitizers nothing asks.
#define KORVANTA_SANITIZER_OPTIONS(name) extern "C" __attribute__((used, visibility("default"))) const char* name()

KORVANTA_SANITIZER_OPTIONS(__asan_default_options) { return "detect_leaks=1:verify_asan_link_order=0"; }

KORVANTA_SANITIZER_OPTIONS(__lsan_default_options) {
  return "print_suppressions=0:suppressions=" KORVANTA_TEST_SOURCE_DIR "/lsan.supp";
}

KORVANTA_SANITIZER_OPTIONS(__ubsan_default_options) { return "print_stacktrace=1:halt_on_error=1"; }

KORVANTA_SANITIZER_OPTIONS(__tsan_default_options) {
  return "halt_on_error=1:second_deadlock_stack=1:suppressions=" KORVANTA_TEST_SOURCE_DIR "/tsan.supp";
}
