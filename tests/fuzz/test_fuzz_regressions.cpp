// Replays every fuzzer seed and every input that ever made a fuzzer fail.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzztargets.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    void (*run)(const uint8_t*, std::size_t);
};

TEST(FuzzRegressions, EverySeedAndEveryPastFailureRunsClean) {
    const Target targets[] = {{"script", fuzz::Script},
                              {"objectmap", fuzz::ObjectMap},
                              {"objectdump", fuzz::ObjectDump},
                              {"bmpmask", fuzz::BmpMask},
                              {"texture", fuzz::Texture}};
    int inputs = 0;
    for (const Target& t : targets) {
        for (const fs::path& root :
             {fs::path(test::SourceDir()) / "fuzz/corpus" / t.name, fs::path(test::DataDir()) / "fuzz" / t.name}) {
            if (!fs::is_directory(root)) continue;
            for (const auto& entry : fs::directory_iterator(root)) {
                if (!entry.is_regular_file()) continue;
                SCOPED_TRACE(entry.path().string());
                std::ifstream in(entry.path(), std::ios::binary);
                const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                                 std::istreambuf_iterator<char>());
                t.run(bytes.data(), bytes.size());
                ++inputs;
            }
        }
    }
    EXPECT_GE(inputs, 10);
}

}  // namespace
}  // namespace pelorus
