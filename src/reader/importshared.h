#pragma once
// What the importers of other formats share: the materials and textures they make, the lines
// they write, and the conversion of metres to model units.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/rwmaterial.h"
#include "platform/rgbaimage.h"

namespace pelorus {

class RWXObject;

// How a face of an imported model looks, before it becomes a material.
struct ImportLook {
    RGB color{1, 1, 1};
    double opacity = 1.0;
    bool doubleSided = false;
    bool smooth = false;   // the file gave normals: light sampling Vertex, else Facet
    int32_t texture = -1;  // in the model's texture list, -1 for none
};

// The material of `look`: its colour (white when textured), opacity, Double when double-sided,
// the texture's facts (mask, address mode) when it has one, surfaced with kImportAmbient and
// kImportDiffuse.
RWXMaterial ImportMaterial(const RWXObject& model, const ImportLook& look);

// An image decoded for an imported model, with the file's own bytes when it is a JPEG.
struct ImportImage {
    RgbaImage image;
    std::shared_ptr<const std::vector<uint8_t>> jpeg;
};

// Decodes `bytes` (the image `name`, found as `where`). Nullopt, with one error line on `model`
// as a texture of a script gets it (`Couldn't read texture "NAME".` and its variants), when the
// bytes are not a JPEG, PNG or BMP image, are damaged, too large or of a variant not decoded.
std::optional<ImportImage> DecodeImportImage(RWXObject& model, std::string_view name, std::span<const uint8_t> bytes);

// Adds a texture record of `rgba` (width x height, RGBA, top row first) to `model`: named `name`,
// read from `fileName`, with `mode` (Mirror stores the 2 x 2 tile the viewer draws it with) and
// with a mask when any alpha is below 255. `jpeg` is kept as the colours' file when given. Returns
// its index, or -1 with one error line when the load's image budget has no room for it.
int32_t AddImportTexture(RWXObject& model, std::string name, std::string fileName, RgbaImage rgba,
                         std::shared_ptr<const std::vector<uint8_t>> jpeg, AddressMode mode);

// `metres` in model units: a tenth of it, rounded as the decimal number (its shortest text moved
// one place), so that 0.3 metres is 0.03 units exactly as written.
double TenthOf(double metres);
// A float as the double of its shortest text (0.1f is 0.1, not 0.100000001490116).
double DecimalOf(float value);

// Writes "<prefix>:Not carried over: <what> : "<file>"" on `model` once per `what`.
class NotCarried {
public:
    NotCarried(RWXObject& model, std::string_view prefix) : model_(model), prefix_(prefix) {}
    void Say(std::string_view what);

private:
    RWXObject& model_;
    std::string prefix_;
    std::set<std::string, std::less<>> said_;
};

// The one line of a file that cannot be read: "<prefix>:Cannot read "<file>": <why>".
void CannotRead(RWXObject& model, std::string_view prefix, std::string_view why);

}  // namespace pelorus
