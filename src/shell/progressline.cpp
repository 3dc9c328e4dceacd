#include "shell/progressline.h"

#include <unistd.h>

#include <iostream>

namespace pelorus {

bool IsTerminalStandardError(const std::ostream& stream) {
    return &stream == &std::cerr && ::isatty(STDERR_FILENO) == 1;
}

ProgressLine::ProgressLine(std::ostream& out, bool shown) : out_(out), shown_(shown) {}

ProgressLine::~ProgressLine() {
    Erase();
}

void ProgressLine::Show(const LoadProgress& progress) {
    if (!shown_) return;
    const std::string text = ProgressText(progress);
    if (text.empty()) {
        Erase();
        stage_ = progress.stage;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (progress.stage == stage_ && width_ > 0 && now - last_ < kProgressLineInterval) return;
    last_ = now;
    stage_ = progress.stage;
    // The new text over the old, with spaces over what the old one had beyond it.
    out_ << '\r' << text;
    if (text.size() < width_) out_ << std::string(width_ - text.size(), ' ') << '\r' << text;
    out_.flush();
    width_ = text.size();
}

void ProgressLine::Erase() {
    if (!shown_ || width_ == 0) return;
    out_ << '\r' << std::string(width_, ' ') << '\r';
    out_.flush();
    width_ = 0;
}

std::function<void(const LoadProgress&)> ProgressLine::Teller() {
    return [this](const LoadProgress& progress) { Show(progress); };
}

}  // namespace pelorus
