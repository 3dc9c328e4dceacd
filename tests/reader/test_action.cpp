// Object actions as builders write them: triggers, commands and their arguments, and the errors
// of actions that cannot be read, with where they were found.

#include <gtest/gtest.h>

#include <sstream>

#include "reader/action.h"

namespace pelorus {
namespace {

std::string Rgb(const ActionColor& c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

std::string Tag(const std::optional<int32_t>& tag) {
    return tag ? " tag " + std::to_string(*tag) : "";
}

// A section as "create@0: color@7(255,0,0 tag 3) teleport@20 ..."; a command meant for another
// object ends in ">NAME".
std::string Describe(const Action& a) {
    if (a.error) return "error " + DescribeActionError(*a.error);
    static const char* const kTriggers[] = {"create", "activate", "bump", "adone"};
    std::ostringstream out;
    for (const ActionSection& s : a.sections) {
        if (&s != &a.sections.front()) out << "; ";
        out << kTriggers[static_cast<int>(s.trigger)] << "@" << s.position << ":";
        for (const ActionCommand& c : s.commands) {
            out << " " << c.word << "@" << c.position;
            if (const auto* x = std::get_if<ColorArgs>(&c.args)) out << "(" << Rgb(x->color) << Tag(x->tag) << ")";
            if (const auto* x = std::get_if<TextureArgs>(&c.args))
                out << "(" << x->texture << (x->mask.empty() ? "" : " mask " + x->mask) << Tag(x->tag) << ")";
            if (const auto* x = std::get_if<ScaleArgs>(&c.args))
                out << "(" << x->factors[0] << " " << x->factors[1] << " " << x->factors[2] << ")";
            if (const auto* x = std::get_if<VisibleArgs>(&c.args)) out << "(" << (x->visible ? "yes" : "no") << ")";
            if (const auto* x = std::get_if<OpacityArgs>(&c.args)) out << "(" << x->opacity << Tag(x->tag) << ")";
            if (const auto* x = std::get_if<SurfaceArgs>(&c.args)) out << "(" << x->value << Tag(x->tag) << ")";
            if (const auto* x = std::get_if<SignArgs>(&c.args))
                out << "(" << (x->text ? "[" + *x->text + "]" : "-") << " " << Rgb(x->color) << " on "
                    << Rgb(x->background) << ")";
            if (const auto* x = std::get_if<PictureArgs>(&c.args)) out << "(" << x->name << ")";
            if (!c.target.empty()) out << ">" << c.target;
        }
    }
    return out.str();
}

struct Case {
    const char* action;
    const char* read;
};

TEST(ActionParser, RealLookingActionsReadAsWritten) {
    const Case cases[] = {
        {"create color red", "create@0: color@7(255,0,0)"},
        {"CREATE Color RED Tag=3", "create@0: color@7(255,0,0 tag 3)"},
        {"create color ff8000, texture stone1 mask=stone1m tag=2; activate color blue",
         "create@0: color@7(255,128,0) texture@21(stone1 mask stone1m tag 2); activate@56: color@65(0,0,255)"},
        {"create texture tag=200 Wood.JPG mask=WoodM", "create@0: texture@7(Wood.JPG mask WoodM tag 200)"},
        // Quoted text keeps commas, semicolons and blanks; named arguments come in any order.
        {"create sign \"Hello, world; welcome\" color=yellow bcolor=000080",
         "create@0: sign@7([Hello, world; welcome] 255,255,0 on 0,0,128)"},
        {"create sign bcolor=red \"Two\x80\x7Flines\r\nand more\"",
         "create@0: sign@7([Two\nlines\nand more] 255,255,255 on 255,0,0)"},
        {"create sign", "create@0: sign@7(- 255,255,255 on 0,0,255)"},
        {"create sign Welcome", "create@0: sign@7([Welcome] 255,255,255 on 0,0,255)"},
        {"create sign \"open to the end, with a comma",
         "create@0: sign@7([open to the end, with a comma] "
         "255,255,255 on 0,0,255)"},
        // Line breaks that dumps keep inside a field are blanks between words.
        {"create color red,\x80\x7Fscale 2\x80\x7F;\x80\x7F"
         "bump warp +10 -5",
         "create@0: color@7(255,0,0) scale@19(2 2 2); bump@31: warp@36"},
        {"create scale 0.1", "create@0: scale@7(0.2 0.2 0.2)"},
        {"create scale 10 1 .5", "create@0: scale@7(5 1 0.5)"},
        {"create scale 2 3", "create@0: scale@7(2 3 1)"},
        {"create scale -1 loop", "create@0: scale@7(0.2 0.2 0.2)"},
        {"create visible no", "create@0: visible@7(no)"},
        {"create visible OFF, visible door on", "create@0: visible@7(no) visible@20(yes)>door"},
        {"create opacity 1.5", "create@0: opacity@7(1)"},
        {"create opacity .25 tag=100", "create@0: opacity@7(0.25 tag 100)"},
        {"create ambient 0.3, diffuse 2, specular 0.5 30 1", "create@0: ambient@7(0.3) diffuse@20(1) specular@31(0.5)"},
        // Named arguments a command does not use are passed over.
        {"create sign \"x\" align=left size=12, picture p.jpg update=60",
         "create@0: sign@7([x] 255,255,255 on 0,0,255) picture@36(p.jpg)"},
        {"create picture http://example.com/pic.jpg?size=2&x=y update=300",
         "create@0: picture@7(http://example.com/pic.jpg?size=2&x=y)"},
        // Everything else is named and left alone, whatever its arguments.
        {"create animate me sign 5 5 200 0 0 0 0, astart sign, noise ding.wav; "
         "activate astop sign, url \"http://x.com/a,b;c\", sound s.mid; "
         "bump teleport 10n 20w 1a 90; adone move 0 1 0 time=2 wait=1 loop",
         "create@0: animate@7 astart@40 noise@53; activate@69: astop@78 url@90 sound@116; "
         "bump@129: teleport@134; adone@158: move@164"},
        {"create light color=red brightness=2 fx=fire, corona glow size=3, rotate 0 5 0 loop, name door, solid off, "
         "media http://x/y.mp3, frobnicate",
         "create@0: light@7 corona@45 rotate@65 name@84 solid@95 media@106 frobnicate@128"},
        {"create color red name=door, texture wood name=\"my door\"",
         "create@0: color@7(255,0,0)>door texture@28(wood)>my door"},
        // Empty parts are passed over.
        {";; create color red,, ,; ;", "create@3: color@10(255,0,0)"},
        {"create; bump", "create@0:; bump@8:"},
        {"", ""},
        {" \t\r\n\x80\x7F ", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Describe(ParseAction(c.action)), c.read) << c.action;
}

TEST(ActionParser, MalformedActionsAreRefusedWholeWithThePlaceOfTheFault) {
    const Case cases[] = {
        {"color red", "error character 1: expected create, activate, bump or adone, not \"color\""},
        {"create color red; zap color blue",
         "error character 19: expected create, activate, bump or adone, not \"zap\""},
        {"create color red activate color blue", "error character 18: one word too many: \"activate\""},
        {"create color purpel", "error character 14: unknown colour \"purpel\""},
        {"create color 1234567", "error character 14: unknown colour \"1234567\""},
        {"create color", "error character 8: color needs a colour"},
        {"create color red,\x80\x7F"
         "texture",
         "error character 20: texture needs a texture name"},
        {"create scale big", "error character 14: scale needs a number, not \"big\""},
        {"create scale nan", "error character 14: scale needs a number, not \"nan\""},
        {"create scale inf", "error character 14: scale needs a number, not \"inf\""},
        {"create scale 1,5", "error character 16: expected a command, not \"5\""},
        {"create tag=5", "error character 8: expected a command, not \"tag=5\""},
        {"create scale 1 2 3 4", "error character 20: one word too many: \"4\""},
        {"create opacity 0.5 tag=sign", "error character 20: tag= needs a whole number, not \"sign\""},
        {"create opacity \"0.5\"", "error character 16: opacity needs a number, not \"0.5\""},
        {"create visible maybe", "error character 16: visible needs yes or no, not \"maybe\""},
        {"create sign \"a\" bcolor=nope", "error character 24: unknown colour \"nope\""},
        {"create sign two words", "error character 17: one word too many: \"words\""},
        {"create \"text\"", "error character 8: expected a command, not quoted text"},
        {"create picture", "error character 8: picture needs a picture name"},
    };
    for (const Case& c : cases) EXPECT_EQ(Describe(ParseAction(c.action)), c.read) << c.action;
}

TEST(ActionParser, OnlyTheFirstCreateSectionIsCarriedOut) {
    const Action a = ParseAction("activate color red; create color green; create color blue");
    ASSERT_EQ(a.sections.size(), 3u);
    ASSERT_NE(a.Create(), nullptr);
    EXPECT_EQ(a.Create(), &a.sections[1]);
    EXPECT_EQ(ParseAction("bump color red").Create(), nullptr);
    EXPECT_EQ(ParseAction("create color red; zap").Create(), nullptr);
}

// What --check reports as accepted and not carried out: everything but the look-changing commands
// of the first create section that are meant for the object itself.
TEST(ActionTally, CountsWhatPlacingAnObjectDoesNotCarryOut) {
    const std::pair<const char*, const char*> cases[] = {
        {"create color red, scale 2, sign, picture x.jpg", ""},
        {"create animate me . 5 100, ANIMATE me . 2, color red, Sound x.wav", "create: animate 2, sound 1"},
        {"create visible tree no, color red name=door", "create: color 1, visible 1"},  // meant for others
        {"activate teleport 10n 20w; bump warp 1n 1w, color red; create color blue; create color green",
         "create: color 1; activate: teleport 1; bump: color 1, warp 1"},
        {"adone astop; create astart", "create: astart 1; adone: astop 1"},
        {"create color", ""},  // cannot be read: nothing counts
        {"", ""},
    };
    for (const auto& [action, counted] : cases) {
        CommandsNotCarriedOut tally;
        tally.Add(ParseAction(action));
        EXPECT_EQ(tally.Text(), counted) << action;
    }
    // Objects sharing an action count once each.
    CommandsNotCarriedOut many;
    many.Add(ParseAction("create noise a.wav, url x"), 3);
    many.Add(ParseAction("create noise b.wav; activate url y"), 2);
    EXPECT_EQ(many.Text(), "create: noise 5, url 3; activate: url 2");
    EXPECT_EQ(many.Total(), 10);
}

TEST(ActionParser, CommandsKeepTheirTextForListing) {
    const Action a = ParseAction("create  color   red tag=2 ,\x80\x7Fsign \"a\x80\x7F b\" ;");
    ASSERT_EQ(a.sections.size(), 1u);
    ASSERT_EQ(a.sections[0].commands.size(), 2u);
    EXPECT_EQ(a.sections[0].commands[0].text, "color   red tag=2");
    EXPECT_EQ(a.sections[0].commands[1].text, "sign \"a  b\"");
    EXPECT_EQ(a.sections[0].commands[1].args, ActionArgs(SignArgs{"a\n b", {255, 255, 255}, {0, 0, 255}}));
}

TEST(ActionColors, NamesInAnyCaseAndUpToSixHexDigits) {
    struct ColorCase {
        const char* word;
        std::optional<ActionColor> color;
    };
    const ColorCase cases[] = {
        {"red", ActionColor{255, 0, 0}},
        {"Grey", ActionColor{112, 112, 112}},
        {"GRAY", ActionColor{112, 112, 112}},
        {"purple", ActionColor{128, 0, 128}},
        {"orange", ActionColor{255, 127, 0}},
        {"salmon", ActionColor{111, 66, 66}},
        {"FF0000", ActionColor{255, 0, 0}},
        {"00ff80", ActionColor{0, 255, 128}},
        {"ff", ActionColor{0, 0, 255}},
        {"bad", ActionColor{0, 11, 173}},
        {"", std::nullopt},
        {"fff0000", std::nullopt},
        {"-ff", std::nullopt},
        {"0x00ff00", std::nullopt},
        {"redd", std::nullopt},
        {"12 34", std::nullopt},
    };
    for (const ColorCase& c : cases) EXPECT_EQ(ActionColorNamed(c.word), c.color) << c.word;
}

TEST(ActionFields, DumpLineBreaksBecomeLineFeeds) {
    EXPECT_EQ(FieldText("one\x80\x7Ftwo\r\nthree\rfour\nfive"), "one\ntwo\nthree\nfour\nfive");
    EXPECT_EQ(FieldText("\x80 lone bytes \x7F stay"), "\x80 lone bytes \x7F stay");
    EXPECT_EQ(FieldText("ends\x80"), "ends\x80");
}

}  // namespace
}  // namespace pelorus
