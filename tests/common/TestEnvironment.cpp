// Gives every test the build's directories when the runner did not set them.
#include <cstdlib>

namespace {
struct TestEnvironment {
    TestEnvironment() {
        setenv("ZW_BIN_DIR", ZW_TEST_BIN_DIR, 0);
        setenv("ZW_SOURCE_DIR", ZW_TEST_SOURCE_DIR, 0);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
} environment;
} // namespace
