#pragma once
// Carrying out the create commands of a scene's objects when they are placed: each object's
// scale and visibility, and the looks (variants of their models' materials, with the images their
// faces show: textures named by the commands, sign lettering and pictures) that objects of one
// model with the same commands share. Plain data: the drawing side uploads the images.

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/errorlog.h"
#include "reader/action.h"
#include "reader/sceneobjects.h"
#include "reader/texture.h"
#include "scene/objectlook.h"

namespace pelorus {

// How an image is stretched over faces that show it whole (signs and pictures): the texture
// coordinates of a point p of the model are s = s[0]*x + s[1]*y + s[2]*z + s[3] and t likewise,
// 0 to 1 across the faces' extent in their plane.
struct ImagePlanes {
    std::array<double, 4> s{1, 0, 0, 0};
    std::array<double, 4> t{0, 1, 0, 0};
    double aspect = 1;  // the faces' width over their height
    bool operator==(const ImagePlanes&) const = default;
};

// The planes for the faces of `tag` of `model` (all its clumps): the plane of its largest face of
// the tag, seen from the side its corners run counter-clockwise, s running left to right and t
// from the top down (the image's first row at the top; "up" is the model's +y, or -z for a face
// that looks up or down), over the extent of every face of the tag. nullopt without such faces.
std::optional<ImagePlanes> ImagePlanesOf(const RWXObject& model, int32_t tag);

// A variant with its images. Materials of faces whose image is Named, Sign or Picture refer (by
// their texture frame keys) to `textures`, not to the model's; a texture that could not be had
// leaves its material untextured with textureMissing set, a sign without a font shows its
// background colour.
struct ObjectLook {
    ObjectVariant variant;
    std::vector<TTexture> textures;
    std::optional<ImagePlanes> signPlanes, picturePlanes;
    // The planes faces of this look are drawn with; null for faces that keep their own texture
    // coordinates.
    const ImagePlanes* PlanesOf(const FaceLook& face) const {
        if (face.image == FaceImage::Sign && signPlanes) return &*signPlanes;
        if (face.image == FaceImage::Picture && picturePlanes) return &*picturePlanes;
        return nullptr;
    }
};

struct ObjectLooks {
    static constexpr uint32_t kPlain = std::numeric_limits<uint32_t>::max();
    std::vector<std::unique_ptr<const ObjectLook>> looks;  // one per model and variant key
    std::vector<uint32_t> lookOf;                          // one per object: an index, or kPlain
    // The look of object `index`; null when its faces are drawn as its model says.
    const ObjectLook* Of(std::size_t index) const {
        return index < lookOf.size() && lookOf[index] < looks.size() ? looks[lookOf[index]].get() : nullptr;
    }
};

struct LookOptions {
    // False makes the looks without images (for tests and dumps).
    bool images = true;
    // The font signs are lettered with; "" for the system's.
    std::string fontFile;
};

// Carries out the first create section of every object's action: sets its placement's scale
// (the factors the commands give, 1 without) and `visible`, and gives each object whose faces
// change a look, made once per model and VariantKey. Objects without an action keep their scale
// and visibility. Actions are parsed once per distinct text. An action that cannot be read writes
// one error line at its object's line of objects.file and the object is drawn as its model:
//   Couldn't read the action of the object on line L, character N: MESSAGE.
// (without "on line L" for an object that has no line).
// With options.images, each texture is looked for as the model's own were (see
// RWXObject::TextureSearchPlaces), pictures in objects.pictureFolders, and signs lettered with the
// system's font; each name that cannot be had writes one line, at the line of the first object
// asking for it:
//   Couldn't open texture "N".   (the reader's lines)     Couldn't open picture "N".
//   No font for signs: REASON.
ObjectLooks CarryOutActions(SceneObjects& objects, ErrorLog* log, const LookOptions& options = {});

// What became of each command of an object's create section, as written: applied, or ignored
// (not carried out by this program, meant for another object, or naming faces the model lacks).
struct ActionReport {
    std::vector<std::string> applied;
    std::vector<std::string> ignored;
    std::optional<ActionError> error;  // the action could not be read
};
ActionReport ReportAction(const SceneObjects& objects, const PlacedObject& object);

}  // namespace pelorus
