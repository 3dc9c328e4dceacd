#include "reader/action.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/text.h"

namespace pelorus {
namespace {

// The colour names world clients accept, with the values they give them; "purple" and the
// "gray" spellings are added for builders who expect them.
struct NamedColor {
    std::string_view name;
    ActionColor color;
};
constexpr NamedColor kColorNames[] = {
    {"aquamarine", {112, 219, 147}}, {"black", {0, 0, 0}},           {"blue", {0, 0, 255}},
    {"brass", {181, 166, 66}},       {"bronze", {140, 120, 83}},     {"brown", {166, 42, 42}},
    {"copper", {184, 115, 51}},      {"cyan", {0, 255, 255}},        {"darkgray", {48, 48, 48}},
    {"darkgrey", {48, 48, 48}},      {"forestgreen", {35, 142, 35}}, {"gold", {205, 127, 50}},
    {"gray", {112, 112, 112}},       {"green", {0, 255, 0}},         {"grey", {112, 112, 112}},
    {"lightgray", {192, 192, 192}},  {"lightgrey", {192, 192, 192}}, {"magenta", {255, 0, 255}},
    {"maroon", {142, 35, 107}},      {"navyblue", {35, 35, 142}},    {"orange", {255, 127, 0}},
    {"orangered", {255, 36, 0}},     {"orchid", {219, 112, 219}},    {"pink", {255, 110, 199}},
    {"purple", {128, 0, 128}},       {"red", {255, 0, 0}},           {"salmon", {111, 66, 66}},
    {"scarlet", {140, 23, 23}},      {"silver", {230, 232, 250}},    {"skyblue", {50, 153, 204}},
    {"tan", {219, 147, 112}},        {"teal", {0, 112, 112}},        {"turquoise", {173, 234, 234}},
    {"violet", {79, 47, 79}},        {"white", {255, 255, 255}},     {"yellow", {255, 255, 0}},
};

constexpr ActionTrigger kTriggers[] = {ActionTrigger::Create, ActionTrigger::Activate, ActionTrigger::Bump,
                                       ActionTrigger::Adone};
constexpr std::string_view kTriggerWords[] = {"create", "activate", "bump", "adone"};

struct VerbWord {
    std::string_view word;
    ActionVerb verb;
};
constexpr VerbWord kVerbs[] = {
    {"color", ActionVerb::Color},     {"texture", ActionVerb::Texture},   {"scale", ActionVerb::Scale},
    {"visible", ActionVerb::Visible}, {"opacity", ActionVerb::Opacity},   {"ambient", ActionVerb::Ambient},
    {"diffuse", ActionVerb::Diffuse}, {"specular", ActionVerb::Specular}, {"sign", ActionVerb::Sign},
    {"picture", ActionVerb::Picture},
};

std::string Lower(std::string_view word) {
    std::string out(word);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// ---- Tokens -------------------------------------------------------------------------------

struct Token {
    enum Kind : uint8_t { Word, Quoted, Named, Comma, Semicolon, End };
    Kind kind = End;
    std::size_t position = 0;
    std::size_t end = 0;  // just past the token in the text
    std::string key;      // Named: the key, lower case
    std::string value;    // Word: the word; Quoted: the text; Named: the value
};

// Splits an action into tokens; every read guards the end of the text.
class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    Token Next() {
        SkipBlanks();
        Token t;
        t.position = pos_;
        if (pos_ >= text_.size()) {
            t.end = pos_;
            return t;
        }
        const char c = text_[pos_];
        if (c == ',' || c == ';') {
            t.kind = c == ',' ? Token::Comma : Token::Semicolon;
            t.end = ++pos_;
            return t;
        }
        if (c == '"') {
            t.kind = Token::Quoted;
            t.value = QuotedText();
            t.end = pos_;
            return t;
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !BlankAt(pos_) && text_[pos_] != ',' && text_[pos_] != ';' && text_[pos_] != '"')
            ++pos_;
        const std::string_view word = text_.substr(start, pos_ - start);
        t.kind = Token::Word;
        t.value = std::string(word);
        // key=value, the key made of letters; the value may be quoted text right after the "=".
        const std::size_t eq = word.find('=');
        if (eq != std::string_view::npos && eq > 0 &&
            std::all_of(word.begin(), word.begin() + static_cast<long>(eq), IsLetter)) {
            t.kind = Token::Named;
            t.key = Lower(word.substr(0, eq));
            t.value = std::string(word.substr(eq + 1));
            if (t.value.empty() && pos_ < text_.size() && text_[pos_] == '"') t.value = QuotedText();
        }
        t.end = pos_;
        return t;
    }

private:
    // The width of a blank at `at`: one byte, two for the dump line break, 0 for no blank.
    std::size_t BlankWidth(std::size_t at) const {
        const char c = text_[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') return 1;
        if (c == '\x80' && at + 1 < text_.size() && text_[at + 1] == '\x7F') return 2;
        return 0;
    }
    bool BlankAt(std::size_t at) const { return BlankWidth(at) != 0; }
    void SkipBlanks() {
        while (pos_ < text_.size())
            if (const std::size_t w = BlankWidth(pos_))
                pos_ += w;
            else
                break;
    }
    // From the opening quote at pos_ to the closing one (or the end), line breaks as line feeds.
    std::string QuotedText() {
        ++pos_;
        const std::size_t close = std::min(text_.find('"', pos_), text_.size());
        std::string out = FieldText(text_.substr(pos_, close - pos_));
        pos_ = close < text_.size() ? close + 1 : close;
        return out;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// ---- Values -------------------------------------------------------------------------------

// A decimal number that is the whole word: optional sign, digits with an optional point,
// optional exponent; finite.
std::optional<double> NumberWord(std::string_view word) {
    std::string_view s = word;
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    const std::size_t digitAt = !s.empty() && s[0] == '-' ? 1 : 0;
    if (digitAt >= s.size() || !(IsDigit(s[digitAt]) || s[digitAt] == '.')) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc{} || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int32_t> IntegerWord(std::string_view word) {
    if (!word.empty() && word[0] == '+') word.remove_prefix(1);
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc{} || end != word.data() + word.size()) return std::nullopt;
    return value;
}

std::optional<bool> YesNoWord(std::string_view word) {
    for (const std::string_view yes : {"yes", "on", "true"})
        if (EqualsNoCase(word, yes)) return true;
    for (const std::string_view no : {"no", "off", "false"})
        if (EqualsNoCase(word, no)) return false;
    return std::nullopt;
}

double Clamp(double v, double lo, double hi) {
    return std::min(hi, std::max(lo, v));
}

// ---- Commands -----------------------------------------------------------------------------

// One command's tokens, read by its verb's handler.
class CommandReader {
public:
    CommandReader(ActionCommand& out, const std::vector<Token>& args) : out_(out), args_(args) {}

    // False with `error` set when the arguments do not fit the verb.
    bool Read(ActionError& error) {
        error_ = &error;
        // name= is every command's; the other named arguments are the verb's.
        for (const Token& t : args_)
            if (t.kind == Token::Named && t.key == "name") out_.target = t.value;
        switch (out_.verb) {
            case ActionVerb::Color:
                return Color();
            case ActionVerb::Texture:
                return Texture();
            case ActionVerb::Scale:
                return Scale();
            case ActionVerb::Visible:
                return Visible();
            case ActionVerb::Opacity:
                return Opacity();
            case ActionVerb::Ambient:
            case ActionVerb::Diffuse:
            case ActionVerb::Specular:
                return Surface();
            case ActionVerb::Sign:
                return Sign();
            case ActionVerb::Picture:
                return Picture();
            case ActionVerb::Other:
                return true;
        }
        return true;
    }

private:
    bool Fail(std::size_t position, std::string message) {
        *error_ = {position, std::move(message)};
        return false;
    }
    bool FailAt(const Token& t, std::string message) { return Fail(t.position, std::move(message)); }
    std::string Quote(std::string_view s) const { return "\"" + std::string(s) + "\""; }

    // The positional arguments (words and quoted text).
    std::vector<const Token*> Positional() const {
        std::vector<const Token*> out;
        for (const Token& t : args_)
            if (t.kind == Token::Word || t.kind == Token::Quoted) out.push_back(&t);
        return out;
    }
    // Positional arguments must be between `least` and `most`; otherwise an error at the first
    // one too many, or after the command word for one too few.
    bool Count(const std::vector<const Token*>& p, std::size_t least, std::size_t most, std::string_view what) {
        if (p.size() > most) return FailAt(*p[most], "one word too many: " + Quote(p[most]->value));
        if (p.size() < least) return Fail(out_.position, out_.word + " needs " + std::string(what));
        return true;
    }
    // The value of tag= when given; false after an error.
    bool Tag(std::optional<int32_t>& tag) {
        for (const Token& t : args_) {
            if (t.kind != Token::Named || t.key != "tag") continue;
            tag = IntegerWord(t.value);
            if (!tag) return FailAt(t, "tag= needs a whole number, not " + Quote(t.value));
        }
        return true;
    }
    bool ColorOf(const Token& t, ActionColor& out) {
        const std::optional<ActionColor> c = ActionColorNamed(t.value);
        if (!c) return FailAt(t, "unknown colour " + Quote(t.value));
        out = *c;
        return true;
    }
    bool NumberOf(const Token& t, double& out) {
        const std::optional<double> n = t.kind == Token::Word ? NumberWord(t.value) : std::nullopt;
        if (!n) return FailAt(t, out_.word + " needs a number, not " + Quote(t.value));
        out = *n;
        return true;
    }

    bool Color() {
        ColorArgs a;
        const auto p = Positional();
        if (!Count(p, 1, 1, "a colour") || !ColorOf(*p[0], a.color) || !Tag(a.tag)) return false;
        out_.args = a;
        return true;
    }

    bool Texture() {
        TextureArgs a;
        const auto p = Positional();
        if (!Count(p, 1, 1, "a texture name") || !Tag(a.tag)) return false;
        a.texture = p[0]->value;
        for (const Token& t : args_)
            if (t.kind == Token::Named && t.key == "mask") a.mask = t.value;
        out_.args = a;
        return true;
    }

    bool Scale() {
        ScaleArgs a;
        std::vector<const Token*> numbers;
        for (const Token* t : Positional()) {
            // Words of animated scaling are accepted and have no say in how the object is placed.
            static constexpr std::string_view kMotion[] = {"loop", "noloop", "sync", "nosync", "reset", "noreset"};
            if (t->kind == Token::Word && std::any_of(std::begin(kMotion), std::end(kMotion),
                                                      [&](std::string_view w) { return EqualsNoCase(t->value, w); }))
                continue;
            numbers.push_back(t);
        }
        if (!Count(numbers, 1, 3, "one to three factors")) return false;
        double f[3] = {1, 1, 1};
        for (std::size_t i = 0; i < numbers.size(); ++i)
            if (!NumberOf(*numbers[i], f[i])) return false;
        if (numbers.size() == 1) f[1] = f[2] = f[0];
        for (std::size_t i = 0; i < 3; ++i) a.factors[i] = Clamp(f[i], 0.2, 5.0);
        out_.args = a;
        return true;
    }

    bool Visible() {
        const auto p = Positional();
        if (!Count(p, 1, 2, "yes or no")) return false;
        const Token& last = *p.back();
        const std::optional<bool> yes = last.kind == Token::Word ? YesNoWord(last.value) : std::nullopt;
        if (!yes) return FailAt(last, "visible needs yes or no, not " + Quote(last.value));
        if (p.size() == 2) out_.target = p[0]->value;
        out_.args = VisibleArgs{*yes};
        return true;
    }

    bool Opacity() {
        OpacityArgs a;
        const auto p = Positional();
        if (!Count(p, 1, 1, "a number") || !NumberOf(*p[0], a.opacity) || !Tag(a.tag)) return false;
        a.opacity = Clamp(a.opacity, 0, 1);
        out_.args = a;
        return true;
    }

    bool Surface() {
        SurfaceArgs a;
        const auto p = Positional();
        const std::size_t most = out_.verb == ActionVerb::Specular ? 3 : 1;
        if (!Count(p, 1, most, "a number")) return false;
        for (const Token* t : p) {
            double ignored = 0;
            if (!NumberOf(*t, t == p[0] ? a.value : ignored)) return false;
        }
        if (!Tag(a.tag)) return false;
        a.value = Clamp(a.value, 0, 1);
        out_.args = a;
        return true;
    }

    bool Sign() {
        SignArgs a;
        const auto p = Positional();
        if (!Count(p, 0, 1, "")) return false;
        if (!p.empty()) a.text = p[0]->value;
        for (const Token& t : args_) {
            if (t.kind != Token::Named || (t.key != "color" && t.key != "bcolor")) continue;
            Token value = t;
            value.position = t.position + t.key.size() + 1;
            if (!ColorOf(value, t.key == "color" ? a.color : a.background)) return false;
        }
        out_.args = a;
        return true;
    }

    bool Picture() {
        const auto p = Positional();
        if (!Count(p, 1, 1, "a picture name")) return false;
        out_.args = PictureArgs{p[0]->value};
        return true;
    }

    ActionCommand& out_;
    const std::vector<Token>& args_;
    ActionError* error_ = nullptr;
};

// The command as written, line breaks made blanks.
std::string CommandText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\x80' && i + 1 < text.size() && text[i + 1] == '\x7F') {
            out += ' ';
            ++i;
        } else {
            out += (c == '\r' || c == '\n') ? ' ' : c;
        }
    }
    return out;
}

// A token for a message: a word in double quotes, as written.
std::string Shown(const Token& t, std::string_view text) {
    if (t.kind == Token::Quoted) return "quoted text";
    return "\"" + CommandText(text.substr(t.position, t.end - t.position)) + "\"";
}

}  // namespace

std::optional<ActionColor> ActionColorNamed(std::string_view word) {
    for (const NamedColor& n : kColorNames)
        if (EqualsNoCase(word, n.name)) return n.color;
    if (word.empty() || word.size() > 6) return std::nullopt;
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
    if (ec != std::errc{} || end != word.data() + word.size()) return std::nullopt;
    return ActionColor{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value)};
}

const ActionSection* Action::Create() const {
    for (const ActionSection& s : sections)
        if (s.trigger == ActionTrigger::Create) return &s;
    return nullptr;
}

Action ParseAction(std::string_view text) {
    Action result;
    Tokenizer tokens(text);
    ActionSection* section = nullptr;  // the section being read; null between sections
    Token t = tokens.Next();
    auto fail = [&](std::size_t position, std::string message) {
        result.sections.clear();
        result.error = ActionError{position, std::move(message)};
        return result;
    };
    while (t.kind != Token::End) {
        if (t.kind == Token::Semicolon || t.kind == Token::Comma) {
            if (t.kind == Token::Semicolon) section = nullptr;
            t = tokens.Next();
            continue;
        }
        if (!section) {
            // A section begins with its trigger word.
            std::size_t which = std::size(kTriggerWords);
            if (t.kind == Token::Word)
                for (std::size_t i = 0; i < std::size(kTriggerWords); ++i)
                    if (EqualsNoCase(t.value, kTriggerWords[i])) which = i;
            if (which == std::size(kTriggerWords))
                return fail(t.position, "expected create, activate, bump or adone, not " + Shown(t, text));
            result.sections.push_back({kTriggers[which], t.position, {}});
            section = &result.sections.back();
            t = tokens.Next();
            continue;
        }
        // A command: its word, then its arguments up to the next separator.
        if (t.kind != Token::Word || !IsLetter(t.value[0]))
            return fail(t.position, "expected a command, not " + Shown(t, text));
        ActionCommand command;
        command.word = Lower(t.value);
        command.position = t.position;
        for (const VerbWord& v : kVerbs)
            if (command.word == v.word) command.verb = v.verb;
        std::vector<Token> args;
        std::size_t end = t.end;
        for (t = tokens.Next(); t.kind != Token::End && t.kind != Token::Comma && t.kind != Token::Semicolon;
             t = tokens.Next()) {
            end = t.end;
            args.push_back(std::move(t));
        }
        command.text = CommandText(text.substr(command.position, end - command.position));
        ActionError error;
        if (!CommandReader(command, args).Read(error)) return fail(error.position, std::move(error.message));
        section->commands.push_back(std::move(command));
    }
    return result;
}

void CommandsNotCarriedOut::Add(const Action& action, int64_t times) {
    const ActionSection* create = action.Create();
    for (const ActionSection& section : action.sections) {
        auto& counts = byTrigger[static_cast<std::size_t>(section.trigger)];
        for (const ActionCommand& c : section.commands) {
            const bool carriedOut = &section == create && c.verb != ActionVerb::Other && c.target.empty();
            if (!carriedOut) counts[c.word] += times;
        }
    }
}

int64_t CommandsNotCarriedOut::Total() const {
    int64_t total = 0;
    for (const auto& counts : byTrigger)
        for (const auto& [word, n] : counts) total += n;
    return total;
}

std::string CommandsNotCarriedOut::Text() const {
    static constexpr std::string_view kTriggers[] = {"create", "activate", "bump", "adone"};
    std::string text;
    for (std::size_t t = 0; t < byTrigger.size(); ++t) {
        if (byTrigger[t].empty()) continue;
        if (!text.empty()) text += "; ";
        text += kTriggers[t];
        text += ":";
        bool first = true;
        for (const auto& [word, n] : byTrigger[t]) {
            text += first ? " " : ", ";
            first = false;
            text += word + " " + std::to_string(n);
        }
    }
    return text;
}

std::string DescribeActionError(const ActionError& error) {
    return "character " + std::to_string(error.position + 1) + ": " + error.message;
}

std::string FieldText(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\x80' && i + 1 < field.size() && field[i + 1] == '\x7F') {
            out += '\n';
            ++i;
        } else if (c == '\r') {
            out += '\n';
            if (i + 1 < field.size() && field[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace pelorus
