#pragma once
// The versions of the image and archive libraries the program runs with, for the About box.

#include <string>
#include <utility>
#include <vector>

namespace pelorus {

// Name and version of libjpeg-turbo (the version built against: the library does not tell its
// own), libpng and libzip (as the loaded libraries report them), in that order. A version that
// cannot be told is "".
std::vector<std::pair<std::string, std::string>> ImageAndArchiveLibraries();

}  // namespace pelorus
