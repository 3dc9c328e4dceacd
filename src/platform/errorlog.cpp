#include "platform/errorlog.h"

namespace pelorus {

void ErrorLog::Append(std::string_view line) {
    starts_.push_back(text_.size());
    text_.append(line);
    text_.push_back('\n');
    if (mirror_) mirror_(line);
}

std::vector<std::string> ErrorLog::LinesSince(std::size_t mark) const {
    std::vector<std::string> lines;
    for (std::size_t i = mark; i < starts_.size(); ++i) {
        const std::size_t begin = starts_[i];
        const std::size_t end = (i + 1 < starts_.size() ? starts_[i + 1] : text_.size()) - 1;
        lines.emplace_back(text_, begin, end - begin);
    }
    return lines;
}

std::size_t ErrorLog::OffsetOfLine(std::size_t mark) const {
    return mark < starts_.size() ? starts_[mark] : text_.size();
}

}  // namespace pelorus
