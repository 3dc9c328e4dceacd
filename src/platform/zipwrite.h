#pragma once
// Making zip archives in memory (models and masks as world servers hand them out).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

struct ZipInput {
    std::string name;  // the member's name, with "/" between folders
    std::string data;
};

// The bytes of a zip archive holding `members` in order, each deflated and dated 1 January 2000
// (whatever the clock says), so that the same members always give the same bytes. Nullopt when
// libzip refuses (two members of one name, an empty name, out of memory).
std::optional<std::vector<uint8_t>> BuildZip(const std::vector<ZipInput>& members);

}  // namespace pelorus
