#include "shell/registry.h"

#include <cmath>
#include <cstdint>

#include "platform/paths.h"
#include "platform/text.h"
#include "shell/objectinfo.h"

namespace pelorus {

std::string RegistryName(std::string_view path) {
    std::string_view name = FileNamePart(path);
    if (EndsWithNoCase(name, ".rwx") || EndsWithNoCase(name, ".zip")) name.remove_suffix(4);
    return std::string(name);
}

std::optional<std::string> RegistryLine(std::string_view name, const Bounds& bounds) {
    if (bounds.Empty()) return std::nullopt;
    const Vec3 lo = bounds.Min(), hi = bounds.Max();
    std::string line = std::string(name) + " 1";
    auto add = [&](double units, bool up) {
        const double cm = units * kCentimetresPerUnit;
        if (!(std::abs(cm) <= kRegistryLimitCm)) return false;
        const double whole = up ? std::ceil(cm - kRegistrySlackCm) : std::floor(cm + kRegistrySlackCm);
        line += " " + std::to_string(static_cast<int64_t>(whole));
        return true;
    };
    for (const double v : {lo.x, lo.y, lo.z})
        if (!add(v, false)) return std::nullopt;
    for (const double v : {hi.x, hi.y, hi.z})
        if (!add(v, true)) return std::nullopt;
    return line;
}

}  // namespace pelorus
