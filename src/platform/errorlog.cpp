#include "platform/errorlog.h"

namespace pelorus {

uint32_t ErrorLog::FileNumber(const LogPlace& place) {
    if (place.file.empty() && place.member.empty()) return kNoFile;
    // Lines of one file mostly come together.
    if (!files_.empty() && files_.back().first == place.file && files_.back().second == place.member)
        return static_cast<uint32_t>(files_.size() - 1);
    std::string key = place.file;
    key += '\0';
    key += place.member;
    if (const auto it = fileNumbers_.find(key); it != fileNumbers_.end()) return it->second;
    if (files_.size() >= kNoFile) return kNoFile;
    const auto number = static_cast<uint32_t>(files_.size());
    files_.emplace_back(place.file, place.member);
    fileNumbers_.emplace(std::move(key), number);
    return number;
}

void ErrorLog::Append(std::string_view line, const LogPlace& place) {
    starts_.push_back(text_.size());
    places_.push_back({FileNumber(place), place.line});
    text_.append(line);
    text_.push_back('\n');
    if (mirror_) mirror_(line, place);
}

void ErrorLog::AppendAll(const ErrorLog& other) {
    for (std::size_t i = 0; i < other.LineCount(); ++i) Append(other.Line(i), other.PlaceOf(i));
}

std::vector<std::string> ErrorLog::LinesSince(std::size_t mark) const {
    std::vector<std::string> lines;
    for (std::size_t i = mark; i < starts_.size(); ++i) lines.emplace_back(Line(i));
    return lines;
}

std::string_view ErrorLog::Line(std::size_t index) const {
    if (index >= starts_.size()) return {};
    const std::size_t begin = starts_[index];
    const std::size_t end = (index + 1 < starts_.size() ? starts_[index + 1] : text_.size()) - 1;
    return std::string_view(text_).substr(begin, end - begin);
}

std::size_t ErrorLog::OffsetOfLine(std::size_t mark) const {
    return mark < starts_.size() ? starts_[mark] : text_.size();
}

LogPlace ErrorLog::PlaceOf(std::size_t index) const {
    if (index >= places_.size()) return {};
    const Place& p = places_[index];
    LogPlace place;
    if (p.file != kNoFile) {
        place.file = files_[p.file].first;
        place.member = files_[p.file].second;
    }
    place.line = p.line;
    return place;
}

}  // namespace pelorus
