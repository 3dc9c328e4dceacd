// The progress line of the command-line tools: written over itself in place, throttled within a
// stage, erased at the end, and nothing at all when the stream is no terminal.

#include <gtest/gtest.h>

#include <sstream>

#include "shell/progressline.h"

namespace pelorus {
namespace {

using Stage = LoadProgress::Stage;

TEST(ProgressLine, RewritesOneLineInPlaceAndErasesItAtTheEnd) {
    std::ostringstream out;
    {
        ProgressLine line(out, true);
        line.Show({Stage::Reading, 120000, 1000000});
        // Within the same stage, at once after: not written (at most every interval).
        line.Show({Stage::Reading, 130000, 1000000});
        // A new stage is written at once, shorter text padded over the longer one.
        line.Show({Stage::Loading, 4, 30});
    }
    const std::string first = "Reading 120,000 of 1,000,000 objects";
    const std::string second = "Loading 4 of 30 models";
    const std::string want = "\r" + first + "\r" + second + std::string(first.size() - second.size(), ' ') + "\r" +
                             second + "\r" + std::string(second.size(), ' ') + "\r";
    EXPECT_EQ(out.str(), want);
    // No line feed anywhere: what comes after starts on the line the tool was on.
    EXPECT_EQ(out.str().find('\n'), std::string::npos);
}

TEST(ProgressLine, WritesNothingWhenNotATerminalOrNothingWasShown) {
    std::ostringstream out;
    {
        ProgressLine line(out, false);
        auto tell = line.Teller();
        tell({Stage::Reading, 1, 2});
        tell({Stage::Loading, 1, 2});
        line.Erase();
    }
    EXPECT_EQ(out.str(), "");
    {
        ProgressLine line(out, true);
        line.Show({Stage::Done, 3, 3});
        line.Erase();
    }
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(IsTerminalStandardError(out));
}

}  // namespace
}  // namespace pelorus
