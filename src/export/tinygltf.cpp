// The glTF library's code, compiled here once. Images are neither decoded nor encoded by it
// (TINYGLTF_NO_STB_IMAGE and TINYGLTF_NO_STB_IMAGE_WRITE are set for every user of the library):
// the export hands it finished image files.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
