#pragma once
// How a placed object looks once the create commands of its action are carried out: a variant of
// its model's materials (per material and face tag), its scale, whether it is shown, and the sign
// and picture its tagged faces show. A variant refers to the model's faces only through the
// materials and tags of their batches, so drawing uses the model's geometry as it is, and every
// object whose action gives the same key (see VariantKey) shares one variant of a model.
//
// Commands are carried out in the order written, each on the faces it names (all, or those of one
// tag), a later one overriding an earlier one where both change the same thing:
// - color: the faces take the colour and lose their texture;
// - texture: the faces take the texture named (and its mask), to be found where the model's
//   textures are found; until then the material is untextured, and masked when a mask is named;
// - opacity: the faces' opacity is multiplied by it (twice 0.5 gives a quarter);
// - ambient, diffuse, specular: the faces' factor, the same for red, green and blue;
// - scale, visible: the object's;
// - sign: faces tagged 100 show the sign (its text, else the object's description);
// - picture: faces tagged 200 show the picture.
// Only the first create section is carried out; commands meant for another object (name=) and
// every other command are not.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/mattris.h"
#include "geometry/rwmaterial.h"
#include "reader/action.h"
#include "reader/rwxobject.h"

namespace pelorus {

// The tags whose faces show signs and pictures.
inline constexpr int32_t kSignTag = 100;
inline constexpr int32_t kPictureTag = 200;

// The distinct materials and tags a model's faces are drawn with: those of the batches of its
// clumps (prototypes themselves are not drawn), ordered by material address, then tag. Worked out
// once per model; valid as long as the model.
struct ModelFaces {
    struct Kind {
        const RWXMaterial* material;
        int32_t tag;
    };
    std::vector<Kind> kinds;

    static ModelFaces Of(const RWXObject& model);
    bool HasTag(int32_t tag) const;
};

// Where a face's image comes from.
enum class FaceImage : uint8_t {
    Model,    // the material's own texture, or none
    None,     // untextured: a colour replaced the texture
    Named,    // the texture FaceLook::texture (with FaceLook::mask), found by name
    Sign,     // the object's sign (ObjectVariant::sign)
    Picture,  // the object's picture (ObjectVariant::picture)
};

// How the faces of one material and tag look for an object.
struct FaceLook {
    // The model's material with the commands' colour, opacity and factors. Unless the image is
    // Model, its texture is cleared (no frames, no mask flag), except that a Named texture with a
    // mask sets the mask flag.
    RWXMaterial material;
    FaceImage image = FaceImage::Model;
    std::string texture;  // Named: the texture's name as the command gave it
    std::string mask;     // Named: the mask's name, "" without one
    bool operator==(const FaceLook&) const = default;
};

struct SignLook {
    std::string text;  // line breaks as line feeds; "" shows the background alone
    ActionColor color{255, 255, 255};
    ActionColor background{0, 0, 255};
    bool operator==(const SignLook&) const = default;
};

struct ObjectVariant {
    struct Change {
        const RWXMaterial* material;  // of the model's batches
        int32_t tag;
        FaceLook look;
    };
    std::vector<Change> changes;  // only faces that look different; ordered as ModelFaces::kinds
    std::array<double, 3> scale{1, 1, 1};
    bool visible = true;
    std::optional<SignLook> sign;  // set when some faces show it
    std::string picture;           // "" unless some faces show one

    // How the faces of `batch` (of the model the variant was made for) look; null: as the model
    // says.
    const FaceLook* LookOf(const MatTris& batch) const;
    // Nothing differs from the model.
    bool Plain() const { return changes.empty() && scale == std::array<double, 3>{1, 1, 1} && visible; }
};

// What one command of an object's create section came to.
enum class CommandOutcome : uint8_t {
    Applied,        // it changed the object, or some of its faces
    NoFaces,        // the faces it names (a tag, signs, pictures) are not in the model
    OtherObject,    // it is meant for another object (name=)
    NotCarriedOut,  // this program does not carry such commands out
};

// A key for the look an action and description give: objects of one model with equal keys share
// a variant. It holds what the carried-out commands set, in order (not how they were written, nor
// the commands not carried out), and the description only when a sign takes its text from it.
// "" when nothing is carried out (an action that could not be read included).
std::string VariantKey(const Action& action, std::string_view description);

// The variant the create commands of `action` make of the model whose faces are `faces`;
// `description` is the object's (as a dump holds it: see FieldText), shown by a sign without text
// of its own. With `outcomes`, one outcome per command of the create section is written there, in
// order (none when there is no create section).
ObjectVariant MakeVariant(const ModelFaces& faces, const Action& action, std::string_view description,
                          std::vector<CommandOutcome>* outcomes = nullptr);

}  // namespace pelorus
