// The main of every GoogleTest executable: before any test runs, the user's folders (home,
// configuration, cache, data, runtime) point into the build tree, so that no test, and no program
// a test starts, ever reads or writes the real ones. Tests that look at these folders make their
// own under a TempDir.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#ifndef PELORUS_TEST_HOME
#error "PELORUS_TEST_HOME must name the tests' home folder"
#endif

int main(int argc, char** argv) {
    const std::string home = PELORUS_TEST_HOME;
    const std::pair<const char*, std::string> folders[] = {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/config"},
        {"XDG_CACHE_HOME", home + "/cache"},
        {"XDG_DATA_HOME", home + "/data"},
        {"XDG_RUNTIME_DIR", home + "/runtime"},
    };
    for (const auto& [name, folder] : folders) ::setenv(name, folder.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
