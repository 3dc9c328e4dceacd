#pragma once
// Object actions: the text a builder gives a placed object so that it looks and behaves as they
// want, for example
//     create color red tag=3, sign "Welcome" bcolor=green; activate teleport 10n 20w
// Reading only: what the commands do to a model is for those who place objects.
//
// The grammar:
// - An action is sections separated by ";"; a section is a trigger word (create, activate, bump,
//   adone) and then commands separated by ",". Empty sections and commands (";;", ",,", a
//   trailing separator) are passed over; so is an action of nothing but blanks.
// - A command is a word and its arguments: words, numbers, quoted text and named arguments
//   (key=value, the key made of letters, the value a word or quoted text), named arguments in
//   any order.
// - Trigger words, command words, argument keys, colour names and yes/no words are read in any
//   letter case; names of textures and pictures, and quoted text, are kept as written.
// - Blanks are spaces, tabs, line feeds, carriage returns and the line break that object dumps
//   write inside a field (the bytes 0x80 0x7F). Quoted text runs from one double quote to the
//   next (or to the end of the action), keeps commas, semicolons and blanks, and keeps each line
//   break as one line feed.
// - The commands that change how an object looks are read into typed arguments (see the *Args
//   types), passing over named arguments they do not use; every other command word is accepted
//   and named, and its arguments are not read.
// - The named argument name=NAME on any command says the command is meant for the object named
//   NAME, not for the one that carries the action.
// An action that breaks the grammar (a section that does not start with a trigger word, a
// command that does not start with a letter, a command of the typed ones whose arguments do not
// fit) is not read at all: the result holds one
// error with the position it was found at, and no sections.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pelorus {

enum class ActionTrigger : uint8_t { Create, Activate, Bump, Adone };

struct ActionColor {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const ActionColor&) const = default;
};

// The colour a word names: one of the colour names world clients know (any letter case, see
// action.cpp for the list), or one to six hexadecimal digits read as the number 0xRRGGBB.
// nullopt for anything else.
std::optional<ActionColor> ActionColorNamed(std::string_view word);

// `color C [tag=N]`: the faces (all, or those tagged N) take the colour and lose their texture.
struct ColorArgs {
    ActionColor color;
    std::optional<int32_t> tag;
    bool operator==(const ColorArgs&) const = default;
};
// `texture NAME [mask=MASK] [tag=N]`.
struct TextureArgs {
    std::string texture;
    std::string mask;  // "" without a mask
    std::optional<int32_t> tag;
    bool operator==(const TextureArgs&) const = default;
};
// `scale S` (all three), `scale X Y` (Z 1) or `scale X Y Z`; each factor held to 0.2 ... 5.
struct ScaleArgs {
    std::array<double, 3> factors{1, 1, 1};
    bool operator==(const ScaleArgs&) const = default;
};
// `visible yes|no` (also on/off, true/false); `visible NAME no` is meant for the object NAME.
struct VisibleArgs {
    bool visible = true;
    bool operator==(const VisibleArgs&) const = default;
};
// `opacity O [tag=N]`, O held to 0 ... 1.
struct OpacityArgs {
    double opacity = 1;
    std::optional<int32_t> tag;
    bool operator==(const OpacityArgs&) const = default;
};
// `ambient A`, `diffuse D`, `specular S` (each [tag=N]), the factor held to 0 ... 1. Specular
// may be followed by further numbers (shininess, alpha), which are read and not kept.
struct SurfaceArgs {
    double value = 0;
    std::optional<int32_t> tag;
    bool operator==(const SurfaceArgs&) const = default;
};
// `sign ["TEXT"] [color=C] [bcolor=C]`: faces tagged 100 show the text (without one, the
// object's description) in colour C on background bcolor. A single word is text too.
struct SignArgs {
    std::optional<std::string> text;
    ActionColor color{255, 255, 255};
    ActionColor background{0, 0, 255};
    bool operator==(const SignArgs&) const = default;
};
// `picture NAME`: faces tagged 200 show the image NAME (a file name or an address).
struct PictureArgs {
    std::string name;
    bool operator==(const PictureArgs&) const = default;
};

enum class ActionVerb : uint8_t {
    Color,
    Texture,
    Scale,
    Visible,
    Opacity,
    Ambient,
    Diffuse,
    Specular,
    Sign,
    Picture,
    Other,  // any other command: named, its arguments not read
};

using ActionArgs = std::variant<std::monostate, ColorArgs, TextureArgs, ScaleArgs, VisibleArgs, OpacityArgs,
                                SurfaceArgs, SignArgs, PictureArgs>;

struct ActionCommand {
    ActionVerb verb = ActionVerb::Other;
    std::string word;          // the command word, lower case
    std::string text;          // the command as written, line breaks made blanks
    std::size_t position = 0;  // of the command word in the action, in bytes from 0
    std::string target;        // name=: the object the command is meant for; "" for this one
    ActionArgs args;           // the typed arguments; monostate for Other
    bool operator==(const ActionCommand&) const = default;
};

struct ActionSection {
    ActionTrigger trigger = ActionTrigger::Create;
    std::size_t position = 0;  // of the trigger word
    std::vector<ActionCommand> commands;
    bool operator==(const ActionSection&) const = default;
};

struct ActionError {
    std::size_t position = 0;  // in bytes from 0
    std::string message;
    bool operator==(const ActionError&) const = default;
};

struct Action {
    std::vector<ActionSection> sections;  // in the order written; empty after an error
    std::optional<ActionError> error;

    // The section carried out when the object is placed: the first create section (later ones
    // are passed over, as world clients do); nullptr when there is none.
    const ActionSection* Create() const;
};

Action ParseAction(std::string_view text);

// The commands of actions that are accepted and not carried out when objects are placed, counted
// by trigger and command word (lower case): in the first create section the commands this program
// does not carry out (ActionVerb::Other) and those meant for another object (name=); every command
// of every other section. Commands that are carried out count nowhere, even where the model lacks
// the faces they name.
struct CommandsNotCarriedOut {
    // Indexed by ActionTrigger; each map by command word.
    std::array<std::map<std::string, int64_t, std::less<>>, 4> byTrigger;

    // Counts the commands of `action` `times` times over (for as many objects carrying it); an
    // action that could not be read counts nothing.
    void Add(const Action& action, int64_t times = 1);
    int64_t Total() const;
    // "create: animate 2, sound 1; activate: teleport 5" (triggers in the order create, activate,
    // bump, adone, words in byte order); "" when nothing was counted.
    std::string Text() const;
};

// "character N: MESSAGE", N counted from 1.
std::string DescribeActionError(const ActionError& error);

// A field of an object dump as text: its line breaks (the bytes 0x80 0x7F, CR LF, CR) become line
// feeds. Used for descriptions, which signs show when they have no text of their own.
std::string FieldText(std::string_view field);

}  // namespace pelorus
