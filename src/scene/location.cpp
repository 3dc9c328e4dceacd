#include "scene/location.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace pelorus {
namespace {

bool ReadNumber(std::string_view text, double& out) {
    if (text.empty() || text.front() == '+') return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, std::chars_format::fixed);
    return ec == std::errc{} && end == text.data() + text.size() && std::isfinite(out);
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    auto separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r'; };
    while (i < text.size()) {
        while (i < text.size() && separator(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !separator(text[i])) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

// The shortest text of `v` to the thousandth, without a sign for zero.
std::string Thousandths(double v) {
    if (!std::isfinite(v)) v = 0;
    double rounded = std::round(v * 1000) / 1000;
    if (rounded == 0) rounded = 0;  // no "-0"
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, 3);
    std::string s(buf, r.ptr);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

}  // namespace

std::optional<Location> ParseLocation(std::string_view text, std::string& error) {
    const std::vector<std::string_view> words = Words(text);
    Location at;
    bool northSouth = false, westEast = false, altitude = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const char last = static_cast<char>(word.back() | 0x20);  // lower case for letters
        const bool lettered = last == 'n' || last == 's' || last == 'w' || last == 'e' || last == 'a';
        double value = 0;
        if (!ReadNumber(lettered ? word.substr(0, word.size() - 1) : word, value)) {
            error = "\"" + std::string(word) + "\" is not a coordinate (such as 2.5N, 3W, 1.2a) or a yaw";
            return std::nullopt;
        }
        if (!lettered) {
            if (i + 1 != words.size() || !northSouth || !westEast) {
                error = "the yaw comes last, after the coordinates";
                return std::nullopt;
            }
            at.yaw = value;
            continue;
        }
        bool& seen = (last == 'n' || last == 's') ? northSouth : (last == 'a' ? altitude : westEast);
        if (seen || (last == 'a' && (!northSouth || !westEast))) {
            error = last == 'a' ? "the altitude comes after the coordinates, once"
                                : "\"" + std::string(word) + "\" gives a coordinate twice";
            return std::nullopt;
        }
        seen = true;
        if (last == 'n') at.z = value;
        if (last == 's') at.z = -value;
        if (last == 'w') at.x = value;
        if (last == 'e') at.x = -value;
        if (last == 'a') at.y = value;
    }
    if (!northSouth || !westEast) {
        error = "a location needs a north or south and a west or east coordinate, such as 2.5N 3W";
        return std::nullopt;
    }
    return at;
}

std::string FormatLocation(const Location& at) {
    const double z = std::isfinite(at.z) ? at.z : 0, x = std::isfinite(at.x) ? at.x : 0;
    std::string out = Thousandths(std::fabs(z)) + (z < 0 && Thousandths(z) != "0" ? "S " : "N ");
    out += Thousandths(std::fabs(x)) + (x < 0 && Thousandths(x) != "0" ? "E" : "W");
    if (Thousandths(at.y) != "0") out += " " + Thousandths(at.y) + "a";
    if (at.yaw) {
        double yaw = std::isfinite(*at.yaw) ? std::fmod(std::round(*at.yaw), 360.0) : 0;
        if (yaw < 0) yaw += 360;
        if (yaw == 0) yaw = 0;
        out += " " + std::to_string(static_cast<int>(yaw));
    }
    return out;
}

// The camera looks along (sin c, 0, -cos c) for a camera yaw c, and a location's yaw y faces
// (sin y, 0, cos y): c = 180 - y.
Camera CameraAt(Camera camera, const Location& at) {
    camera.targetX = at.x;
    camera.targetY = at.y;
    camera.targetZ = at.z;
    camera.height = 0;
    if (at.yaw) camera.yaw = 180.0 - *at.yaw;
    return camera;
}

Location LocationOf(const Camera& camera) {
    Location at;
    at.x = camera.targetX;
    at.y = camera.targetY + camera.height;
    at.z = camera.targetZ;
    at.yaw = 180.0 - camera.yaw;
    return at;
}

}  // namespace pelorus
