#pragma once
// The inputs the fuzzers drive, shared with the test that replays every input that ever failed.

#include <cstddef>
#include <cstdint>

namespace pelorus::fuzz {

// A script read from memory (no texture files are touched).
void Script(const uint8_t* data, std::size_t size);
// An object map's text.
void ObjectMap(const uint8_t* data, std::size_t size);
// An object dump's text (its objects' texts are checked to lie within what was read).
void ObjectDump(const uint8_t* data, std::size_t size);
// A BMP mask.
void BmpMask(const uint8_t* data, std::size_t size);
// A JPEG image, and the stored texture built from it and a mask: the first byte chooses Mirror
// mode and where the data splits into a JPEG and a BMP.
void Texture(const uint8_t* data, std::size_t size);

}  // namespace pelorus::fuzz
