#pragma once
// A texture of one object: the image as read (all frames), its facts, and, once the drawing side
// has uploaded it, the OpenGL texture names of its frames.

#include <cstdint>
#include <string>
#include <vector>

namespace pelorus {

struct TTexture {
    std::string name;      // as the script gave it, ".jpg" appended when it had no extension
    std::string maskName;  // "" without mask
    std::string fileName;  // the file the image was read from
    int32_t width = 0;     // of the stored image (doubled in Mirror mode)
    int32_t height = 0;    // of all frames together
    int32_t frameCount = 1;
    uint8_t addressMode = 0;
    uint8_t mipmapped = 1;
    uint8_t hasMask = 0;
    // width x height x 4 bytes, RGBA, top row first; released once uploaded.
    std::vector<uint8_t> rgba;
    // One per frame once uploaded; empty before.
    std::vector<uint32_t> glNames;
    // True when those texture objects were given images (mipmapped and complete pixels).
    bool glHasImages = false;
};

}  // namespace pelorus
