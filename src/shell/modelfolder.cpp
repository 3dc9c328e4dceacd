#include "shell/modelfolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/text.h"

namespace pelorus {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// -1, 0 or 1 as `a` comes before, with or after `b` in name order, before the tie-break on bytes.
int CompareNames(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the runs of digits by value: without leading zeros, the longer is larger.
            std::size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            std::string_view da = a.substr(i, ei - i), db = b.substr(j, ej - j);
            while (da.size() > 1 && da.front() == '0') da.remove_prefix(1);
            while (db.size() > 1 && db.front() == '0') db.remove_prefix(1);
            if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
            if (const int c = da.compare(db); c != 0) return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const char ca = Lower(a[i]), cb = Lower(b[j]);
        if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

bool IsSteppedModelName(std::string_view name) {
    return EndsWithNoCase(name, ".rwx") || EndsWithNoCase(name, ".zip");
}

bool NameOrderLess(std::string_view a, std::string_view b) {
    if (const int c = CompareNames(a, b); c != 0) return c < 0;
    return a < b;
}

std::vector<std::string> ModelsInFolder(std::string_view folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(std::string(folder)), fs::directory_options::skip_permission_denied, ec);
    if (ec) return names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        const std::string name = it->path().filename().string();
        if (IsSteppedModelName(name) && it->is_regular_file(typeError)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NameOrderLess(a, b); });
    return names;
}

std::string ModelBeside(std::string_view current, const std::vector<std::string>& names, int step) {
    if (names.empty() || step == 0) return {};
    const auto n = static_cast<long long>(names.size());
    const auto at =
        std::lower_bound(names.begin(), names.end(), current,
                         [](const std::string& name, std::string_view c) { return NameOrderLess(name, c); });
    const long long place = at - names.begin();
    const bool present = at != names.end() && *at == current;
    if (present && n == 1) return {};
    // Absent, `current` sits between place - 1 and place: a step forward lands on place itself.
    const long long from = present || step < 0 ? place : place - 1;
    long long to = (from + step) % n;
    if (to < 0) to += n;
    return names[static_cast<std::size_t>(to)];
}

}  // namespace pelorus
