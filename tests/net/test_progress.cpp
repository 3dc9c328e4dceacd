// The progress of downloads as a status line, and on the tools' terminal only.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <string>

#include "net/progress.h"

namespace pelorus {
namespace {

TEST(ProgressText, CountsFilesAndBytesInDecimalUnits) {
    const struct {
        uint64_t bytes;
        std::string_view text;
    } sizes[] = {
        {0, "0 B"},
        {999, "999 B"},
        {1000, "1.0 kB"},
        {1999, "1.9 kB"},  // rounded down: never more than has arrived
        {999'999, "999.9 kB"},
        {1'234'567, "1.2 MB"},
        {1'000'000'000, "1.0 GB"},
        {UINT64_MAX, "18446744.0 TB"},
    };
    for (const auto& size : sizes) EXPECT_EQ(BytesText(size.bytes), size.text) << size.bytes;

    EXPECT_EQ(ProgressText({340, 12, 1'234'567}), "Downloading 12 of 340 files, 1.2 MB");
    EXPECT_EQ(ProgressText({1, 0, 0}), "Downloading 0 of 1 file, 0 B");
    EXPECT_EQ(ProgressText({3, 3, 500}), "");  // all done: nothing to show
    EXPECT_EQ(ProgressText({}), "");
}

std::string Drain(int fd) {
    std::string out;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
    return out;
}

TEST(TerminalProgress, WritesToATerminalAndNeverIntoAPipe) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_NONBLOCK), 0);
    {
        TerminalProgress piped(pipeEnds[1]);
        EXPECT_FALSE(piped.Enabled());
        piped.Show({3, 1, 100});
    }
    ::close(pipeEnds[1]);
    EXPECT_EQ(Drain(pipeEnds[0]), "");
    ::close(pipeEnds[0]);

    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal";
    {
        TerminalProgress shown(slave);
        EXPECT_TRUE(shown.Enabled());
        shown.Show({3, 1, 100});
        shown.Show({3, 2, 2500});
        shown.Show({3, 3, 2600});  // finished: the line is cleared
    }
    ::close(slave);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    const std::string written = Drain(master);
    ::close(master);
    EXPECT_EQ(written,
              "\rDownloading 1 of 3 files, 100 B"
              "\rDownloading 2 of 3 files, 2.5 kB"
              "\r                                \r");
}

}  // namespace
}  // namespace pelorus
