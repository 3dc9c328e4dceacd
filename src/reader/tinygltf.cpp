// The glTF library's code, compiled here once for reading and writing glTF. Images are neither
// decoded nor encoded by it (TINYGLTF_NO_STB_IMAGE and TINYGLTF_NO_STB_IMAGE_WRITE are set for
// every user of the library): the importer decodes them itself, the export hands it finished
// image files.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
