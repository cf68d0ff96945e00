// SPDX-License-Identifier: MIT
// Linked into every test program: pinned fonts, no accessibility bus, and the leak
// suppressions for caches that system libraries keep until exit. Set from inside the program
// because ctest's per-test environment list does not survive test discovery intact, and so
// that a test run by hand behaves as it does under ctest. Child processes (the programs the
// desktop tests start) inherit all of it.

#include <cstdlib>

#define QUARRIN_LEAK_OPTIONS "suppressions=" QUARRIN_TEST_DATA_DIR "/ui/lsan.supp:print_suppressions=0"

namespace {

struct TestEnvironment {
    TestEnvironment()
    {
        // An environment given on the command line wins.
        setenv("FONTCONFIG_FILE", QUARRIN_TEST_DATA_DIR "/fonts.conf", 0);
        setenv("GTK_A11Y", "none", 0);
        setenv("NO_AT_BRIDGE", "1", 0);
        setenv("LSAN_OPTIONS", QUARRIN_LEAK_OPTIONS, 0);
#ifdef __SANITIZE_ADDRESS__
        // GDK probes OpenGL when it opens a display and unloads Mesa's driver again, and the
        // driver's allocations are then reported against a module that is gone: no suppression
        // can name it. The sanitizer runs draw through cairo instead.
        setenv("GDK_DEBUG", "gl-disable", 0);
#endif
    }
};

const TestEnvironment environment;

} // namespace

// This process's own LeakSanitizer reads its options before any constructor runs.
extern "C" const char* __lsan_default_options() { return QUARRIN_LEAK_OPTIONS; }
