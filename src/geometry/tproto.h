#pragma once
// A named clump, defined once at object level and copied into clumps by the instancing commands.

#include <string>
#include <string_view>

#include "geometry/tclump.h"

namespace pelorus {

class TProto : public TClump {
public:
    static constexpr std::size_t kMaxName = 99;

    // `name` is kept to its first 99 characters.
    explicit TProto(std::string_view name) : name_(name.substr(0, kMaxName)) {}

    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

}  // namespace pelorus
