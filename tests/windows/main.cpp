// The Windows test program, run under Wine. Without --binding it runs the
// unit suite: the library's objects against the fake JNIEnv. With
// --binding=STATE --library=DLL --engine=DLL [--control=DLL] it loads the
// DLLs as a host would, in that state, and runs their tests. Either way it closes with its
// own summary line, which the runner checks: Wine may exit 0 after a crash.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "dll_host.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string binding, library, engine, control;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        for (auto [option, value] : {std::pair{"--binding=", &binding},
                                     {"--library=", &library},
                                     {"--engine=", &engine},
                                     {"--control=", &control}})
            if (arg.starts_with(option)) *value = arg.substr(std::string_view(option).size());
    }
    std::string filter = "-Dll*";
    if (!binding.empty()) {
        const std::string error = dll_host::start(binding, library, engine, control);
        if (!error.empty()) {
            std::printf("%s\nwindows: 0 passed, 1 failed\n", error.c_str());
            return 1;
        }
        filter = dll_host::test_filter();
    }
    GTEST_FLAG_SET(filter, filter);
    const int status = RUN_ALL_TESTS();
    const testing::UnitTest& run = *testing::UnitTest::GetInstance();
    std::printf("windows: %d passed, %d failed", run.successful_test_count(), run.failed_test_count());
    if (run.skipped_test_count() > 0) std::printf(", %d skipped", run.skipped_test_count());
    std::printf("\n");
    std::fflush(stdout);
    return status;
}
