#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/atomicfile.h"
#include "platform/errorlog.h"
#include "platform/paths.h"
#include "shell/worlds.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, text)) << path;
    return text;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A world file whose every field differs from the default world.
constexpr std::string_view kSampleText =
    "C:\\objs\nsecret\n1 2.5 -3 10 20 30\n40 50 60 Fog 100 200\nsunset\nclouds\ngrass\n1 2 3";

WorldSettings Sample() {
    return ParseWorldFile(kSampleText);
}

// Files of more than `bytes` bytes cannot be written while it lives, as on a full disk: writes
// past it fail with EFBIG ("File too large") instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};

// Saves `content` to `path` in a child process that the file-size limit kills half-way, as a
// crash or a kill would: the hidden temporary file stays behind. Returns the child's pid.
pid_t KilledSave(const std::string& path, std::string_view content) {
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit none{0, 0}, tiny{4, 4};
        ::setrlimit(RLIMIT_CORE, &none);
        ::setrlimit(RLIMIT_FSIZE, &tiny);
        std::signal(SIGXFSZ, SIG_DFL);
        WriteFileAtomically(path, content, nullptr);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    return child;
}

// ---------------------------------------------------------------------------------------------
// World files

TEST(WorldFile, DefaultTextReadsAsTheDefaultWorld) {
    const WorldSettings s = ParseWorldFile(kDefaultWorldText);
    EXPECT_EQ(s, WorldSettings{});
    EXPECT_EQ(s.direction, (std::array<std::string, 3>{"-0.8", "-0.5", "-0.2"}));
    EXPECT_EQ(s.directional[1], ColorFieldFromByte(255));
    EXPECT_FALSE(s.fog);
    EXPECT_EQ(s.fogMin + "/" + s.fogMax, "40/150");
    EXPECT_EQ(s.backdrop + "|" + s.skybox + "|" + s.ground, "fall_day||fall_gd");
    EXPECT_EQ(s.backdropColor, (std::array<uint8_t, 3>{30, 9, 200}));
}

TEST(WorldFile, FogWordIgnoresLetterCase) {
    const std::pair<const char*, bool> cases[] = {{"Fog", true},    {"fog", true},    {"FOG", true},
                                                  {"NoFog", false}, {"nofog", false}, {"Fogs", false}};
    for (const auto& [word, fog] : cases) {
        const std::string text = "\n\n0 0 0 1 1 1\n1 1 1 " + std::string(word) + " 1 2\nb\ns\ng\n1 2 3";
        EXPECT_EQ(ParseWorldFile(text).fog, fog) << word;
    }
}

TEST(WorldFile, ColourComponentKeepsItsLowEightBits) {
    const std::pair<const char*, uint8_t> cases[] = {{"300", 44},        {"256", 0},    {"255", 255}, {"-1", 255},
                                                     {"4294967340", 44}, {"12abc", 12}, {"+7", 7}};
    for (const auto& [word, byte] : cases) {
        const std::string w(word);
        const WorldSettings s =
            ParseWorldFile("\n\n0 0 0 " + w + " 0 0\n" + w + " 0 0 NoFog 1 2\nb\ns\ng\n" + w + " 0 0");
        EXPECT_EQ(s.directional[0], ColorFieldFromByte(byte)) << word;
        EXPECT_EQ(s.ambient[0], ColorFieldFromByte(byte)) << word;
        EXPECT_EQ(s.backdropColor[0], byte) << word;
    }
}

TEST(WorldFile, TwelveWordsAreReadAcrossLineBreaksAndTheRestOfTheirLineSkipped) {
    const WorldSettings s =
        ParseWorldFile("p\nw\n-1\n-2 -3 10\n20 30 40 50 60 fog 7 8 ignored words\nback\nsky\nground\n4\n5 6");
    EXPECT_EQ(s.direction, (std::array<std::string, 3>{"-1", "-2", "-3"}));
    EXPECT_EQ(s.directional[2].value, 30);
    EXPECT_EQ(s.ambient[2].value, 60);
    EXPECT_TRUE(s.fog);
    EXPECT_EQ(s.fogMax, "8");
    EXPECT_EQ(s.backdrop + "|" + s.skybox + "|" + s.ground, "back|sky|ground");
    EXPECT_EQ(s.backdropColor, (std::array<uint8_t, 3>{4, 5, 6}));
}

TEST(WorldFile, WritesTheExactLayoutAndReadsItBack) {
    const WorldSettings s = Sample();
    EXPECT_EQ(WorldFileText(s), kSampleText);
    EXPECT_EQ(ParseWorldFile(WorldFileText(s)), s);
    // The default text differs from a written default world only by its final line break.
    EXPECT_EQ(WorldFileText(WorldSettings{}) + "\n", kDefaultWorldText);
}

TEST(WorldFile, CrLfLineBreaksAndAByteOrderMarkReadLikeLf) {
    std::string crlf = "\xEF\xBB\xBF";
    for (const char c : kSampleText) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ParseWorldFile(crlf), Sample());
}

TEST(WorldFile, ShortOrGarbledFileKeepsDefaultsForWhatIsMissing) {
    EXPECT_EQ(ParseWorldFile(""), WorldSettings{});

    WorldSettings pathOnly;
    pathOnly.objectPath = "objs";
    EXPECT_EQ(ParseWorldFile("objs"), pathOnly);

    const WorldSettings s = ParseWorldFile("p\nw\n1 2 3 abc 7 x\n");
    EXPECT_EQ(s.direction[2], "3");
    EXPECT_EQ(s.directional[0], ColorField{});  // no number: default kept, next word read on
    EXPECT_EQ(s.directional[1], ColorFieldFromByte(7));
    EXPECT_EQ(s.directional[2], ColorField{});
    EXPECT_EQ(s.ambient, WorldSettings{}.ambient);
    EXPECT_EQ(s.backdrop, "fall_day");

    const WorldSettings noColour = ParseWorldFile("p\nw\n1 2 3 4 5 6\n7 8 9 Fog 1 2\nb\ns\ng\nred green");
    EXPECT_EQ(noColour.ground, "g");
    EXPECT_EQ(noColour.backdropColor, WorldSettings{}.backdropColor);
}

TEST(WorldFile, FieldsThatWouldBreakTheLayoutCannotShiftLaterFields) {
    WorldSettings s = Sample();
    s.fogMin = "";
    s.fogMax = "  150 m";
    s.direction[1] = "1 2";
    s.directional[0] = ColorFieldFromText("");
    s.ambient[1] = ColorFieldFromText("abc");
    s.ambient[2] = ColorFieldFromText("300");
    s.objectPath = "objs\nmore";
    s.password = std::string(1500, 'x');

    const WorldSettings back = ParseWorldFile(WorldFileText(s));
    EXPECT_EQ(back.objectPath, "objs");
    EXPECT_EQ(back.password, std::string(1023, 'x'));
    EXPECT_EQ(back.direction[1], "1");
    EXPECT_EQ(back.directional[0], ColorFieldFromByte(0));
    EXPECT_EQ(back.ambient[1], ColorFieldFromByte(0));
    EXPECT_EQ(back.ambient[2], ColorFieldFromByte(44));
    EXPECT_EQ(back.fogMin + "/" + back.fogMax, "0/150");
    EXPECT_EQ(back.backdrop + "|" + back.skybox + "|" + back.ground, "sunset|clouds|grass");
    EXPECT_EQ(back.backdropColor, s.backdropColor);
    // What the world looks like is not changed by the rewriting.
    const WorldLook before = LookOf(s), after = LookOf(back);
    EXPECT_EQ(before.lightY, after.lightY);
    EXPECT_EQ(before.fogStart, after.fogStart);
    EXPECT_EQ(before.fogEnd, after.fogEnd);
    EXPECT_EQ(before.directional, after.directional);
    EXPECT_EQ(before.ambient, after.ambient);
}

// The entry point and fog colour follow the eight lines of the older files: those still read as
// before, and readers of the eight lines read the newer files' eight lines unchanged.
TEST(WorldFile, LaterFieldsFollowTheEightLinesAndOlderFilesReadAsBefore) {
    WorldSettings s = Sample();
    EXPECT_EQ(WorldFileText(s), kSampleText);  // nothing later: written as before
    s.entryPoint = "2.5N 3W 1.2a 90";
    s.fogColor = std::array<uint8_t, 3>{7, 8, 9};
    const std::string text = WorldFileText(s);
    EXPECT_EQ(text, std::string(kSampleText) + "\nEntryPoint 2.5N 3W 1.2a 90\nFogColor 7 8 9");
    EXPECT_EQ(ParseWorldFile(text), s);

    // An older reader takes the eight lines alone: what they hold is unchanged.
    WorldSettings eightLines = ParseWorldFile(text.substr(0, std::string_view(kSampleText).size()));
    eightLines.entryPoint = s.entryPoint;
    eightLines.fogColor = s.fogColor;
    EXPECT_EQ(eightLines, s);

    // Older files, with or without a final line break, have no later fields.
    EXPECT_EQ(ParseWorldFile(std::string(kSampleText) + "\n"), Sample());
    EXPECT_EQ(ParseWorldFile(kDefaultWorldText), WorldSettings{});

    // Keywords in any case, CR LF; lines this version does not know are kept and written back.
    const WorldSettings later =
        ParseWorldFile(std::string(kSampleText) + " \r\n\r\nfogcolor 300 1 2\r\nSunPath 1 2\r\nFogColor red\r\n");
    EXPECT_EQ(later.fogColor, (std::optional<std::array<uint8_t, 3>>({44, 1, 2})));
    EXPECT_EQ(later.laterLines, (std::vector<std::string>{"SunPath 1 2", "FogColor red"}));
    EXPECT_EQ(ParseWorldFile(WorldFileText(later)), later);

    // A line break in the entry point cannot add a line.
    s.entryPoint = "1N 1W\nFogColor 1 1 1";
    s.fogColor.reset();
    EXPECT_EQ(ParseWorldFile(WorldFileText(s)).entryPoint, "1N 1W");
    EXPECT_FALSE(ParseWorldFile(WorldFileText(s)).fogColor);
}

// The refresh time is one more later field: worlds without it are written exactly as before,
// older readers see the eight lines unchanged, and a value that does not read is kept, not lost.
TEST(WorldFile, RefreshDaysFollowTheOtherLaterFieldsAndBadValuesAreKept) {
    WorldSettings s = Sample();
    s.fogColor = std::array<uint8_t, 3>{7, 8, 9};
    const std::string withoutRefresh = WorldFileText(s);
    s.refreshDays = 0;
    const std::string text = WorldFileText(s);
    EXPECT_EQ(text, withoutRefresh + "\nRefreshDays 0");
    EXPECT_EQ(ParseWorldFile(text), s);
    WorldSettings eightLines = ParseWorldFile(text.substr(0, std::string_view(kSampleText).size()));
    EXPECT_FALSE(eightLines.refreshDays);
    eightLines.fogColor = s.fogColor;
    eightLines.refreshDays = s.refreshDays;
    EXPECT_EQ(eightLines, s);

    // Before the fog colour, in any case, with CR LF: still read.
    EXPECT_EQ(ParseWorldFile(std::string(kSampleText) + "\r\nrefreshdays 30\r\nFogColor 1 2 3").refreshDays,
              std::optional<uint32_t>(30));
    // Anything but plain digits within the limit is no refresh time this version can use.
    for (const char* bad : {"-1", "+3", "7d", "1.5", "", " 7", "36501", "99999999999"}) {
        const WorldSettings got = ParseWorldFile(std::string(kSampleText) + "\nRefreshDays " + bad);
        EXPECT_FALSE(got.refreshDays) << bad;
        EXPECT_EQ(got.laterLines, std::vector<std::string>{"RefreshDays " + std::string(bad)}) << bad;
        EXPECT_EQ(ParseWorldFile(WorldFileText(got)), got) << bad;
    }
}

TEST(WorldLookOf, RefreshTimeIsAWeekUnlessTheWorldSaysInDays) {
    WorldSettings s;
    EXPECT_EQ(LookOf(s).refreshTime, std::chrono::hours(7 * 24));
    s.refreshDays = 0;
    EXPECT_EQ(LookOf(s).refreshTime, std::chrono::seconds(0));
    s.refreshDays = 2;
    EXPECT_EQ(LookOf(s).refreshTime, std::chrono::hours(48));
    // Set in code beyond the limit: the limit, in the file as in the look.
    s.refreshDays = 4'000'000'000u;
    EXPECT_EQ(LookOf(s).refreshTime, std::chrono::hours(24) * kMaxRefreshDays);
    EXPECT_EQ(ParseWorldFile(WorldFileText(s)).refreshDays, std::optional<uint32_t>(kMaxRefreshDays));
}

TEST(WorldLookOf, FogHasTheBackdropColourUnlessItHasItsOwn) {
    WorldSettings s;
    EXPECT_FALSE(LookOf(s).fogColor);
    s.fogColor = std::array<uint8_t, 3>{255, 0, 51};
    EXPECT_EQ(LookOf(s).fogColor, (std::optional<std::array<float, 4>>({1, 0, 0.2f, 1})));
    EXPECT_EQ(LookOf(s).clearColor, LookOf(WorldSettings{}).clearColor);
    s.entryPoint = "1N 2W";
    s.password = "pw";
    EXPECT_EQ(LookOf(s).entryPoint, "1N 2W");
    EXPECT_EQ(LookOf(s).objectPassword, "pw");
}

TEST(WorldFile, TypedComponentKeepsItsTextAndLowEightBits) {
    const std::pair<const char*, uint8_t> cases[] = {{"300", 44}, {"256", 0}, {"-1", 255},       {"", 0},
                                                     {"abc", 0},  {" 7", 7},  {"1234567890", 21}};
    for (const auto& [text, byte] : cases) EXPECT_EQ(ColorFieldFromText(text), (ColorField{text, byte})) << text;
}

// ---------------------------------------------------------------------------------------------
// The applied look

TEST(WorldLookOf, DefaultWorldAppliesTheDefaultLook) {
    const WorldLook got = LookOf(WorldSettings{}), want;
    EXPECT_EQ(got.objectPath, want.objectPath);
    EXPECT_EQ(got.backdrop, want.backdrop);
    EXPECT_EQ(got.groundPath, want.groundPath);
    EXPECT_EQ(got.skyboxPath, want.skyboxPath);
    EXPECT_EQ(got.clearColor, want.clearColor);
    EXPECT_EQ(got.directional, want.directional);
    EXPECT_EQ(got.ambient, want.ambient);
    EXPECT_DOUBLE_EQ(got.lightX, want.lightX);
    EXPECT_DOUBLE_EQ(got.lightY, want.lightY);
    EXPECT_DOUBLE_EQ(got.lightZ, want.lightZ);
    EXPECT_EQ(got.fog, want.fog);
    EXPECT_DOUBLE_EQ(got.fogStart, want.fogStart);
    EXPECT_DOUBLE_EQ(got.fogEnd, want.fogEnd);
}

TEST(WorldLookOf, FogDistancesAreWholeMetersOfTheFirstNineCharacters) {
    struct Case {
        const char *min, *max;
        double start, end;
    } const cases[] = {{"40", "150", 4.0, 15.0},
                       {"40.9", "150m", 4.0, 15.0},
                       {"", "abc", 0, 0},
                       {" -20", "+30", -2.0, 3.0},
                       {"1234567890", "0", 12345678.9, 0}};
    for (const Case& c : cases) {
        WorldSettings s;
        s.fogMin = c.min;
        s.fogMax = c.max;
        EXPECT_DOUBLE_EQ(LookOf(s).fogStart, c.start) << c.min;
        EXPECT_DOUBLE_EQ(LookOf(s).fogEnd, c.end) << c.max;
    }
}

TEST(WorldLookOf, LightDirectionIsTheRealNumberAtTheStartOfNineCharacters) {
    const std::pair<const char*, double> cases[] = {{"-0.8", -0.8},
                                                    {"abc", 0},
                                                    {"", 0},
                                                    {"+1.5", 1.5},
                                                    {".5", 0.5},
                                                    {"-.5", -0.5},
                                                    {"1e2", 100},
                                                    {"2x", 2},
                                                    {"  3", 3},
                                                    {".", 0},
                                                    {"-", 0},
                                                    {"inf", 0},
                                                    {"nan", 0},
                                                    {"1e999", 0},
                                                    {"0.123456789", 0.1234567},
                                                    {"123456789012", 123456789}};
    for (const auto& [text, value] : cases) {
        WorldSettings s;
        s.direction = {text, "0", "0"};
        EXPECT_DOUBLE_EQ(LookOf(s).lightX, value) << text;
    }
}

TEST(WorldLookOf, ObjectPathEndsWithExactlyOneSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\objs", "C:/objs/"}, {"C:\\objs\\", "C:/objs/"}, {"/data/objs/", "/data/objs/"}, {"", ""}};
    for (const auto& [path, folder] : cases) {
        WorldSettings s;
        s.objectPath = path;
        s.skybox = "sky";
        const WorldLook look = LookOf(s);
        EXPECT_EQ(look.objectPath, folder) << path;
        EXPECT_EQ(look.skyboxPath, std::string(folder) + "models/sky.rwx") << path;
        EXPECT_EQ(look.groundPath, std::string(folder) + "models/fall_gd.rwx") << path;
    }
}

TEST(WorldLookOf, ColoursComeFromTheBytesOverTwoHundredFiftyFive) {
    WorldSettings s = Sample();
    s.directional[0] = ColorFieldFromText("300");
    const WorldLook look = LookOf(s);
    EXPECT_EQ(look.clearColor, (std::array<float, 4>{1 / 255.0f, 2 / 255.0f, 3 / 255.0f, 1}));
    EXPECT_EQ(look.directional, (std::array<float, 4>{44 / 255.0f, 20 / 255.0f, 30 / 255.0f, 1}));
    EXPECT_EQ(look.ambient, (std::array<float, 4>{40 / 255.0f, 50 / 255.0f, 60 / 255.0f, 1}));
    EXPECT_TRUE(look.fog);
}

// ---------------------------------------------------------------------------------------------
// The world list

TEST(WorldListFile, ReadsIndexAndEveryNameIncludingAnUnfinishedLastLine) {
    const std::pair<const char*, WorldList> cases[] = {
        {"1\nA\nB\n", {1, {"A", "B"}}},
        {"1\nA\nB", {1, {"A", "B"}}},
        {"1\r\nA\r\nB\r\n", {1, {"A", "B"}}},
        {"\xEF\xBB\xBF 2 \nA\n\nB\n", {2, {"A", "", "B"}}},
        {"-1\n", {-1, {}}},
        {"-1", {-1, {}}},
        {"", {0, {}}},
        {"99999999999\nA\n", {0, {"A"}}},
        {" \nA\n", {0, {"A"}}},
        // No index line: every line is a name.
        {"abc\nA\n", {0, {"abc", "A"}}},
        {"A\nB", {0, {"A", "B"}}},
        {"2 worlds\nA\n", {0, {"2 worlds", "A"}}},
        {"12abc\n", {0, {"12abc"}}},
    };
    for (const auto& [text, list] : cases) EXPECT_EQ(ParseWorldList(text), list) << text;
}

TEST(WorldListFile, WritesIndexThenOneNamePerLine) {
    EXPECT_EQ(WorldListText({-1, {}}), "-1\n");
    EXPECT_EQ(WorldListText({1, {"A", "b c"}}), "1\nA\nb c\n");
    const WorldList list{3, {"x", "", "y"}};
    EXPECT_EQ(ParseWorldList(WorldListText(list)), list);
}

// ---------------------------------------------------------------------------------------------
// Atomic saving

TEST(AtomicFile, ReplacesTheWholeFileAndKeepsItsPermissions) {
    TempDir dir;
    const std::string path = dir.Write("f.txt", "old content that is longer");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error)) << error;
    EXPECT_EQ(Slurp(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"f.txt"});
}

TEST(AtomicFile, PiecesReplaceTheFileOnlyWhenCommitted) {
    TempDir dir;
    const std::string path = dir.Write("f.rwx", "old");
    {
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.Begin(path, nullptr));
        EXPECT_TRUE(writer.Write("half of "));
        EXPECT_EQ(Slurp(path), "old") << "nothing shows before the commit";
    }  // given up: the temporary file goes, the file stays
    EXPECT_EQ(Slurp(path), "old");
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"f.rwx"});
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Begin(path, nullptr));
    EXPECT_TRUE(writer.Write("new "));
    EXPECT_TRUE(writer.Write("content"));
    std::string error;
    ASSERT_TRUE(writer.Commit(&error)) << error;
    EXPECT_EQ(Slurp(path), "new content");
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"f.rwx"});
    EXPECT_FALSE(writer.Commit(&error)) << "a writer commits once";
}

TEST(AtomicFile, ReplacesOnlyRegularFiles) {
    TempDir dir;
    const std::string fifo = test::MakeFifo(dir, "fifo");
    const std::string device = test::MakeZeroDevice(dir, "device");
    ASSERT_EQ(::symlink(fifo.c_str(), dir.Join("to-fifo").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Join("nothing").c_str(), dir.Join("dangling").c_str()), 0);
    for (const std::string& target : {fifo, device, dir.Join("to-fifo"), dir.Join("dangling")}) {
        if (target.empty()) continue;  // no device node without root
        std::string error;
        EXPECT_FALSE(WriteFileAtomically(target, "data", &error)) << target;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (!device.empty()) {
        ASSERT_EQ(::stat(device.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
    EXPECT_TRUE(fs::is_symlink(dir.Join("dangling")));
    EXPECT_EQ(Entries(dir.Path()).size(), device.empty() ? 3u : 4u) << "no temporary file left";
}

TEST(AtomicFile, LeftoversOfKilledSavesAreFoundByNameAndProcess) {
    TempDir dir;
    const pid_t dead = KilledSave(dir.Join("list.txt"), "0\nA\nB\n");
    const std::string leftover = "." + std::string("list.txt.") + std::to_string(dead) + ".0.tmp";
    ASSERT_EQ(Entries(dir.Path()), std::set<std::string>{leftover});
    const std::optional<TemporaryName> parsed = ParseTemporaryName(leftover);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->target, "list.txt");
    EXPECT_EQ(parsed->pid, dead);
    for (const char* other : {"list.txt", ".list.txt.tmp", ".list.txt.12.tmp", ".list.txt.x.0.tmp", "..1.0.tmp"})
        EXPECT_FALSE(ParseTemporaryName(other)) << other;

    const std::string mine = ".list.txt." + std::to_string(::getpid()) + ".0.tmp";  // a save in progress
    dir.Write(mine, "x");
    dir.Write(".other.txt." + std::to_string(dead) + ".1.tmp", "x");
    dir.Write(".folder.txt." + std::to_string(dead) + ".0.tmp/inside", "x");
    EXPECT_EQ(RemoveLeftoverTemporaries(dir.Path(), [](std::string_view target) { return target != "other.txt"; }), 1);
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{mine, ".other.txt." + std::to_string(dead) + ".1.tmp",
                                                          ".folder.txt." + std::to_string(dead) + ".0.tmp"}));
}

TEST(AtomicFile, FailureLeavesTargetUntouchedNoTemporaryAndAReason) {
    TempDir dir;
    dir.Write("folder/inside.txt", "keep");
    for (const std::string& target : {dir.Join("missing/f.txt"), dir.Join("folder"), std::string()}) {
        std::string error;
        EXPECT_FALSE(WriteFileAtomically(target, "data", &error)) << target;
        EXPECT_FALSE(error.empty()) << target;
    }
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"folder"});
    EXPECT_EQ(Entries(dir.Join("folder")), std::set<std::string>{"inside.txt"});
}

// ---------------------------------------------------------------------------------------------
// The world book

class WorldBookTest : public ::testing::Test {
protected:
    // Worlds live in a sub-folder so that a file escaping it would show in the parent.
    TempDir root;
    std::string home = root.Join("home");
    void SetUp() override { fs::create_directories(home); }
    std::string File(std::string_view name) const { return home + "/" + std::string(name); }
    void Write(std::string_view name, std::string_view text) const { root.Write("home/" + std::string(name), text); }
    // A world file that differs from the default world by its backdrop name.
    void WriteWorld(std::string_view name, std::string_view backdrop) const {
        WorldSettings s;
        s.backdrop = backdrop;
        Write(std::string(name) + ".world", WorldFileText(s));
    }
    WorldBook Started() const {
        WorldBook book(home);
        book.Start();
        return book;
    }
};

TEST_F(WorldBookTest, FilesStayInTheStartUpFolderWhenTheCurrentFolderChanges) {
    TempDir elsewhere;
    ScopedCurrentDirectory startup(home);
    ASSERT_TRUE(startup.Changed());
    WorldBook book(".");
    ScopedCurrentDirectory later(elsewhere.Path());
    ASSERT_TRUE(later.Changed());
    book.Start();
    EXPECT_TRUE(book.Create("A").empty());
    EXPECT_FALSE(book.WriteList().has_value());
    EXPECT_EQ(Entries(home), (std::set<std::string>{"A.world", "Worlds.txt"}));
    EXPECT_TRUE(Entries(elsewhere.Path()).empty());
}

TEST_F(WorldBookTest, MissingListIsWrittenOnlyOnceAWorldExists) {
    WorldBook book = Started();
    EXPECT_FALSE(book.ListExists());
    EXPECT_FALSE(book.FieldsEnabled());
    EXPECT_FALSE(book.WriteList().has_value());
    EXPECT_FALSE(fs::exists(File("Worlds.txt")));
    book.Create("A");
    book.WriteList();
    EXPECT_EQ(Slurp(File("Worlds.txt")), "0\nA\n");
}

TEST_F(WorldBookTest, StartLoadsTheCurrentWorldAndShutDownWritesTheListBack) {
    Write("Worlds.txt", "1\nA\nb");  // last line without a line break
    WriteWorld("A", "a_sky");
    WriteWorld("B", "b_sky");  // found although the list spells it "b"
    WorldBook book = Started();
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(book.Selection(), 1);
    EXPECT_EQ(book.Shown().backdrop, "b_sky");
    EXPECT_FALSE(book.WriteList().has_value());
    EXPECT_EQ(Slurp(File("Worlds.txt")), "1\nA\nb\n");
}

TEST_F(WorldBookTest, FirstNewWorldGetsTheDefaultTextAndLaterOnesCopyTheShownSettings) {
    WorldBook book = Started();
    book.Shown().backdrop = "ignored";  // the fields are disabled while the list is empty
    EXPECT_TRUE(book.Create("A").empty());
    EXPECT_EQ(Slurp(File("A.world")), kDefaultWorldText);
    EXPECT_EQ(book.Shown(), WorldSettings{});
    EXPECT_TRUE(book.FieldsEnabled());

    book.Shown().backdrop = "snow";
    EXPECT_TRUE(book.Create("B").empty());
    EXPECT_EQ(Slurp(File("B.world")), WorldFileText(book.Shown()));
    EXPECT_EQ(Slurp(File("A.world")), kDefaultWorldText);  // the world shown is not saved
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(book.Current(), 1);
}

TEST_F(WorldBookTest, ExistingFileOfANewNameIsAdopted) {
    WorldBook book = Started();
    WriteWorld("c", "c_sky");
    EXPECT_TRUE(book.Create("C").empty());
    EXPECT_EQ(book.Shown().backdrop, "c_sky");
    EXPECT_EQ(Entries(home), (std::set<std::string>{"Worlds.txt", "c.world"}));  // no "C.world" beside it
    EXPECT_EQ(Slurp(File("Worlds.txt")), "0\nC\n");
}

// An import never replaces a world or a file: a taken name gets a number.
TEST_F(WorldBookTest, ImportAddsTheWorldUnderAFreeNameAndMakesItCurrent) {
    Write("Worlds.txt", "0\nCafe\n");
    WriteWorld("Cafe", "cafe_sky");
    WriteWorld("cafe (2)", "stray");  // a file no list names
    WorldBook book = Started();
    book.Shown().backdrop = "edited";  // saved before the import, as a selection saves

    WorldSettings imported;
    imported.objectPath = "http://example.org/cafe";
    imported.entryPoint = "1N 1W";
    EXPECT_TRUE(book.Import("CAFE", imported).empty());
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"Cafe", "CAFE (3)"}));
    EXPECT_EQ(book.Selection(), 1);
    EXPECT_EQ(book.Shown(), imported);
    EXPECT_EQ(book.Saved(), imported);
    EXPECT_EQ(Slurp(File("CAFE (3).world")), WorldFileText(imported));
    EXPECT_EQ(ParseWorldFile(Slurp(File("Cafe.world"))).backdrop, "edited");
    EXPECT_EQ(ParseWorldFile(Slurp(File("cafe (2).world"))).backdrop, "stray");
    EXPECT_EQ(Slurp(File("Worlds.txt")), "1\nCafe\nCAFE (3)\n");

    EXPECT_TRUE(book.Import("New", imported).empty());
    EXPECT_EQ(book.Names().back(), "New");
    EXPECT_EQ(book.Import("a/b", imported), std::vector<WorldMessage>{InvalidWorldNameMessage()});
    EXPECT_EQ(book.Names().size(), 3u);

    // A long name keeps room for its number, and stays a valid name.
    const std::string longName = std::string(247, 'x') + "\xC3\xA9";
    EXPECT_TRUE(book.Import(longName, imported).empty());
    EXPECT_TRUE(book.Import(longName, imported).empty());
    EXPECT_EQ(book.Names().back(), std::string(245, 'x') + " (2)");
}

TEST_F(WorldBookTest, DuplicateNameSelectsTheExistingWorldWithItsOwnSettings) {
    Write("Worlds.txt", "1\nAlpha\nBeta\n");
    WriteWorld("Alpha", "a_sky");
    WriteWorld("Beta", "b_sky");
    WorldBook book = Started();
    book.Shown().ground = "edited";
    EXPECT_EQ(book.Create("ALPHA"), std::vector<WorldMessage>{DuplicateWorldMessage()});
    EXPECT_EQ(book.Names().size(), 2u);
    EXPECT_EQ(book.Current(), 0);
    EXPECT_EQ(book.Shown().backdrop, "a_sky");  // Alpha's settings, not Beta's
    EXPECT_EQ(ParseWorldFile(Slurp(File("Beta.world"))).ground, "edited");
    EXPECT_EQ(ParseWorldFile(Slurp(File("Alpha.world"))).ground, "fall_gd");
    EXPECT_FALSE(fs::exists(File("ALPHA.world")));
}

TEST_F(WorldBookTest, NamesThatCannotBeFileNamesAreRefusedAndCreateNothing) {
    WorldBook book = Started();
    for (const std::string& name :
         {std::string("a/b"), std::string("../evil"), std::string("..\\evil"), std::string(""), std::string("a:b"),
          std::string("tab\there"), std::string(250, 'n')}) {
        EXPECT_EQ(book.Create(name), std::vector<WorldMessage>{InvalidWorldNameMessage()}) << name;
    }
    EXPECT_TRUE(book.Names().empty());
    EXPECT_TRUE(Entries(home).empty());
    EXPECT_EQ(Entries(root.Path()), std::set<std::string>{"home"});
    EXPECT_TRUE(IsValidWorldName(std::string(249, 'n')));
    EXPECT_TRUE(IsValidWorldName("..")) << "becomes \"...world\", inside the folder";
}

TEST_F(WorldBookTest, FileThatExistsButCannotBeReadIsNeverReplaced) {
    WorldBook book = Started();
    Write("D.world/keep", "x");
    test::MakeFifo(root, "home/E.world");
    Write("F.world", std::string((1 << 20) + 1, '\n'));
    for (const char* name : {"D", "E", "F"}) {
        const std::vector<WorldMessage> messages = book.Create(name);
        ASSERT_EQ(messages.size(), 1u) << name;
        EXPECT_EQ(messages[0].caption, "Error : World Not Created");
        EXPECT_NE(messages[0].text.find(std::string("\"") + name + "\""), std::string::npos) << messages[0].text;
        EXPECT_NE(messages[0].text.find("left as it is"), std::string::npos) << messages[0].text;
    }
    EXPECT_TRUE(book.Names().empty());
    EXPECT_TRUE(fs::is_directory(File("D.world")));
    EXPECT_TRUE(fs::is_fifo(File("E.world")));
    EXPECT_EQ(fs::file_size(File("F.world")), (1u << 20) + 1);
}

TEST_F(WorldBookTest, SelectSavesTheWorldLeftAndLoadsThePickedOne) {
    Write("Worlds.txt", "0\nA\nB\n");
    WriteWorld("A", "a_sky");
    WriteWorld("B", "b_sky");
    WorldBook book = Started();
    book.Shown().ground = "edited";
    EXPECT_TRUE(book.Select(1).empty());
    EXPECT_EQ(book.Current(), 1);
    EXPECT_EQ(book.Shown().backdrop, "b_sky");
    EXPECT_EQ(Slurp(File("A.world")), [] {
        WorldSettings s;
        s.backdrop = "a_sky";
        s.ground = "edited";
        return WorldFileText(s);
    }());
    book.Shown().ground = "kept";
    EXPECT_TRUE(book.Select(1).empty());  // same world: nothing saved or loaded
    EXPECT_TRUE(book.Select(7).empty());  // outside the list: ignored
    EXPECT_EQ(book.Shown().ground, "kept");
    EXPECT_EQ(ParseWorldFile(Slurp(File("B.world"))).ground, "fall_gd");
}

TEST_F(WorldBookTest, UnchangedWorldIsNotRewritten) {
    Write("Worlds.txt", "0\nA\nB\n");
    std::string crlf;
    for (const char c : WorldFileText(Sample())) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Write("A.world", crlf);
    WriteWorld("B", "b_sky");
    WorldBook book = Started();
    EXPECT_TRUE(book.Select(1).empty());
    EXPECT_EQ(Slurp(File("A.world")), crlf);
}

TEST_F(WorldBookTest, DeleteAnswersDecideWhatHappensToTheFile) {
    Write("Worlds.txt", "0\nA\nB\nC\n");
    WriteWorld("A", "a_sky");
    WriteWorld("B", "b_sky");
    WriteWorld("C", "c_sky");
    WorldBook book = Started();

    book.Shown().ground = "edited";
    EXPECT_TRUE(book.Delete(DeleteAnswer::Cancel).empty());
    EXPECT_EQ(book.Names().size(), 3u);
    EXPECT_EQ(book.Shown().ground, "edited");

    EXPECT_TRUE(book.Delete(DeleteAnswer::No).empty());  // A's file keeps the shown settings
    EXPECT_EQ(ParseWorldFile(Slurp(File("A.world"))).ground, "edited");
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(book.Current(), 0);
    EXPECT_EQ(book.Shown().backdrop, "b_sky");

    ASSERT_TRUE(book.Select(1).empty());
    EXPECT_TRUE(book.Delete(DeleteAnswer::Yes).empty());  // the last entry: the one before follows
    EXPECT_FALSE(fs::exists(File("C.world")));
    EXPECT_EQ(book.Names(), std::vector<std::string>{"B"});
    EXPECT_EQ(book.Current(), 0);
    EXPECT_EQ(book.Shown().backdrop, "b_sky");

    EXPECT_TRUE(book.Delete(DeleteAnswer::Yes).empty());
    EXPECT_TRUE(book.Names().empty());
    EXPECT_EQ(book.Current(), -1);
    EXPECT_EQ(book.Selection(), -1);
    EXPECT_FALSE(book.FieldsEnabled());
    EXPECT_FALSE(book.WriteList().has_value());
    EXPECT_EQ(Slurp(File("Worlds.txt")), "-1\n");
}

TEST_F(WorldBookTest, FullDiskIsReportedWithTheSystemsReasonAndKeepsEverything) {
    Write("Worlds.txt", "0\nA\nB\n");
    WriteWorld("A", "a_sky");
    WriteWorld("B", "b_sky");
    WriteWorld("C", "c_sky");  // adopted by New: only the list needs writing
    const std::string worldA = Slurp(File("A.world"));
    WorldBook book = Started();
    book.Shown().ground = "edited";
    const std::string reason = std::strerror(EFBIG);
    {
        FileSizeLimit full(4);
        for (std::vector<WorldMessage> messages : {book.Select(1), book.Ok(), book.Delete(DeleteAnswer::No)}) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].caption, "Error : World Not Saved");
            EXPECT_NE(messages[0].text.find("\"A\""), std::string::npos) << messages[0].text;
            EXPECT_NE(messages[0].text.find(reason), std::string::npos) << messages[0].text;
        }
        const std::vector<WorldMessage> created = book.Create("D");
        ASSERT_EQ(created.size(), 1u);
        EXPECT_EQ(created[0].caption, "Error : World Not Created");
        EXPECT_NE(created[0].text.find(reason), std::string::npos) << created[0].text;
        EXPECT_EQ(created[0].text.find("valid file name"), std::string::npos) << created[0].text;
        const std::vector<WorldMessage> adopted = book.Create("C");
        ASSERT_EQ(adopted.size(), 1u);
        EXPECT_EQ(adopted[0].caption, "Error : World List Not Saved");
        EXPECT_NE(adopted[0].text.find(reason), std::string::npos) << adopted[0].text;
    }
    EXPECT_EQ(book.Current(), 0);
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(book.Shown().ground, "edited");
    EXPECT_EQ(book.Shown().backdrop, "a_sky");
    EXPECT_EQ(Slurp(File("A.world")), worldA);
    EXPECT_EQ(Slurp(File("Worlds.txt")), "0\nA\nB\n");
    EXPECT_EQ(Entries(home), (std::set<std::string>{"A.world", "B.world", "C.world", "Worlds.txt"}));
}

// Opening and closing the viewer once rewrote the file a linked Worlds.txt pointed to. Links are
// read through, and saving replaces them with files of their own; the log says so once per file.
TEST_F(WorldBookTest, LinkedListAndWorldFilesAreReadThroughButNeverWrittenThrough) {
    const std::string bashrc = root.Write("userfiles/bashrc", "A\nB\n");  // reads as a list
    const std::string sky = root.Write("userfiles/sky.world", WorldFileText(WorldSettings{}));
    ASSERT_EQ(::symlink("../userfiles/bashrc", File("Worlds.txt").c_str()), 0);
    ASSERT_EQ(::symlink(sky.c_str(), File("B.world").c_str()), 0);
    WriteWorld("A", "a_sky");
    ErrorLog log;
    WorldBook book(home, &log);
    book.Start();
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"A", "B"}));
    book.Shown().ground = "edited";
    EXPECT_TRUE(book.Select(1).empty());  // saves A, writes the list, loads B through its link
    book.Shown().ground = "edited too";
    EXPECT_TRUE(book.Ok().empty());
    EXPECT_TRUE(book.Select(0).empty());
    EXPECT_FALSE(book.WriteList().has_value());

    EXPECT_EQ(Slurp(bashrc), "A\nB\n");
    EXPECT_EQ(Slurp(sky), WorldFileText(WorldSettings{}));
    EXPECT_FALSE(fs::is_symlink(File("Worlds.txt")));
    EXPECT_FALSE(fs::is_symlink(File("B.world")));
    EXPECT_EQ(Slurp(File("Worlds.txt")), "0\nA\nB\n");
    EXPECT_EQ(ParseWorldFile(Slurp(File("B.world"))).ground, "edited too");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{ReplacedLinkLine(File("Worlds.txt"), "../userfiles/bashrc"),
                                                     ReplacedLinkLine(File("B.world"), sky)}));
}

TEST_F(WorldBookTest, EntryThatCanNeverHoldSettingsDoesNotKeepOthersFromBeingChosen) {
    Write("Worlds.txt", "0\nA\nbad/name\nB\n");
    Write("A.world/keep", "x");  // a folder where A's file belongs: it can be neither read nor replaced
    WriteWorld("B", "b_sky");
    WorldBook book = Started();
    std::vector<WorldMessage> messages = book.Select(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Error : World Not Saved");
    EXPECT_EQ(book.Current(), 1);
    messages = book.Select(2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("not a valid file name"), std::string::npos) << messages[0].text;
    EXPECT_EQ(book.Current(), 2);
    EXPECT_EQ(book.Shown().backdrop, "b_sky");

    // "Delete" with No takes such an entry off the list although its file cannot be saved.
    ASSERT_TRUE(book.Select(0).empty());
    EXPECT_EQ(book.Delete(DeleteAnswer::No).size(), 1u);
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"bad/name", "B"}));
    EXPECT_EQ(Entries(File("A.world")), std::set<std::string>{"keep"});
    EXPECT_EQ(Slurp(File("Worlds.txt")), "0\nbad/name\nB\n");
}

TEST_F(WorldBookTest, TwoViewersOnOneFolderNeverRollBackEachOthersList) {
    WorldBook first = Started(), second = Started();
    ASSERT_TRUE(first.Create("A").empty());
    EXPECT_EQ(Slurp(File("Worlds.txt")), "0\nA\n") << "written at once: a crash loses nothing";
    ASSERT_TRUE(second.Create("B").empty());  // second never read A, and keeps it
    EXPECT_EQ(second.Names(), (std::vector<std::string>{"A", "B"}));
    ASSERT_TRUE(first.Create("C").empty());
    EXPECT_EQ(first.Names(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Slurp(File("Worlds.txt")), "2\nA\nB\nC\n");

    // second deletes A while first still shows it; first's next choice sees the list as it is.
    ASSERT_TRUE(second.Select(0).empty());
    ASSERT_TRUE(second.Delete(DeleteAnswer::Yes).empty());
    EXPECT_EQ(second.Names(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(second.Current(), 0) << "B, the next entry";
    ASSERT_TRUE(first.Select(1).empty());  // B, as first shows the list
    EXPECT_EQ(first.Names(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(first.Current(), 0);

    // Deleted by one, picked by the other: the world left stays current.
    ASSERT_TRUE(second.Select(1).empty());
    ASSERT_TRUE(second.Delete(DeleteAnswer::Yes).empty());
    EXPECT_TRUE(first.Select(1).empty());
    EXPECT_EQ(first.Names(), std::vector<std::string>{"B"});
    EXPECT_EQ(first.Current(), 0);

    // Shutting down in either order brings nothing back.
    EXPECT_FALSE(first.WriteList().has_value());
    EXPECT_FALSE(second.WriteList().has_value());
    EXPECT_EQ(Slurp(File("Worlds.txt")), "0\nB\n");
    EXPECT_EQ(Entries(home), (std::set<std::string>{"B.world", "Worlds.txt"}));
}

TEST_F(WorldBookTest, TemporaryFilesOfKilledSavesGoAtTheNextStart) {
    Write("Worlds.txt", "1\nA\n" + std::string(230, 'L') + "\n");
    KilledSave(File("Worlds.txt"), "0\nA\nB\n");
    KilledSave(File(std::string(230, 'L') + ".world"), kDefaultWorldText);  // named by 200 bytes of it
    const pid_t other = KilledSave(File("notes.txt"), "not the book's");
    const std::string running = ".A.world." + std::to_string(::getpid()) + ".0.tmp";
    Write(running, "a save in progress");
    ASSERT_EQ(Entries(home).size(), 5u);

    const WorldBook book = Started();
    EXPECT_EQ(book.Names().size(), 2u);
    EXPECT_EQ(Entries(home),
              (std::set<std::string>{"Worlds.txt", running, ".notes.txt." + std::to_string(other) + ".0.tmp"}));
}

TEST_F(WorldBookTest, OkSavesTheShownSettingsAndOnlyThenAreTheyApplied) {
    Write("Worlds.txt", "0\nA\n");
    WriteWorld("A", "a_sky");
    WorldBook book = Started();
    book.Shown().fog = true;
    EXPECT_FALSE(book.Saved().fog);  // an edit is not applied before OK
    EXPECT_TRUE(book.Ok().empty());
    EXPECT_TRUE(ParseWorldFile(Slurp(File("A.world"))).fog);
    EXPECT_TRUE(book.Saved().fog);
    EXPECT_EQ(book.Saved(), book.Shown());
}

// Cancel, Escape and the close box: what the next load applies is what the file holds, never a
// dropped edit.
TEST_F(WorldBookTest, RevertDropsUnsavedEditsForWhatTheFileHolds) {
    Write("Worlds.txt", "0\nA\nB\n");
    WriteWorld("A", "a_sky");
    WriteWorld("B", "b_sky");
    WorldBook book = Started();
    book.Shown().backdrop = "edited";
    book.Shown().fog = true;
    book.Revert();
    EXPECT_EQ(book.Shown().backdrop, "a_sky");
    EXPECT_FALSE(book.Shown().fog);
    EXPECT_EQ(Slurp(File("A.world")), [] {
        WorldSettings s;
        s.backdrop = "a_sky";
        return WorldFileText(s);
    }());

    // Another viewer saved A meanwhile: its settings come back, not the ones read at start.
    WriteWorld("A", "their_sky");
    book.Shown().backdrop = "edited";
    book.Revert();
    EXPECT_EQ(book.Shown().backdrop, "their_sky");
    EXPECT_EQ(book.Saved().backdrop, "their_sky");

    // A file that cannot be read any more: the last saved state comes back.
    book.Shown().backdrop = "saved";
    EXPECT_TRUE(book.Ok().empty());
    fs::remove(File("A.world"));
    fs::create_directory(File("A.world"));
    book.Shown().backdrop = "edited";
    book.Revert();
    EXPECT_EQ(book.Shown().backdrop, "saved");

    // Picking B saved nothing new of A (the edit was dropped) and shows B as its file holds it.
    fs::remove(File("A.world"));
    book.Shown().backdrop = "edited again";
    book.Revert();
    EXPECT_EQ(book.Shown().backdrop, "saved");
    EXPECT_TRUE(book.Select(1).empty());
    EXPECT_EQ(ParseWorldFile(Slurp(File("A.world"))).backdrop, "saved");
    EXPECT_EQ(book.Saved().backdrop, "b_sky");
}

TEST_F(WorldBookTest, RevertWithoutAWorldKeepsTheDefaultWorld) {
    WorldBook book = Started();
    book.Shown().ground = "edited";
    book.Revert();
    EXPECT_EQ(book.Shown(), WorldSettings{});
    EXPECT_EQ(book.Saved(), WorldSettings{});
}

}  // namespace
}  // namespace pelorus
