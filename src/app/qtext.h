#pragma once
// Texts of the plain layers (UTF-8) as Qt's strings.

#include <QString>
#include <string_view>

namespace pelorus {

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace pelorus
