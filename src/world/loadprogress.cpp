#include "world/loadprogress.h"

#include <algorithm>

#include "platform/textsafety.h"

namespace pelorus {

std::string WithThousands(uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string ProgressText(const LoadProgress& progress) {
    if (progress.download.Active() && progress.stage != LoadProgress::Stage::Done)
        return ProgressText(progress.download);
    const uint64_t done = std::min(progress.done, progress.total);
    switch (progress.stage) {
        case LoadProgress::Stage::Reading:
            return "Reading " + WithThousands(done) + " of " + WithThousands(progress.total) + " objects";
        case LoadProgress::Stage::Loading:
            return "Loading " + WithThousands(done) + " of " + WithThousands(progress.total) + " models";
        case LoadProgress::Stage::Idle:
        case LoadProgress::Stage::Done:
            break;
    }
    return {};
}

std::string LoadStatusText(const LoadProgress& progress, std::string_view objectPath) {
    std::string text = ProgressText(progress);
    if (text.empty() && progress.offline)
        text = "Offline: using cached copies of " + EscapeForTerminal(BoundedQuote(objectPath));
    return text;
}

}  // namespace pelorus
