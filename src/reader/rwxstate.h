#pragma once
// Everything the state commands of a script change: the current transform and material with
// their 256-slot stacks, the prelight colour, and the mipmap and address-mode settings for
// textures loaded next.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "geometry/rwmaterial.h"
#include "reader/rwmatrix.h"
#include "reader/rwtypes.h"

namespace pelorus {

// A stack of at most 256 saved values. A push onto a full stack is ignored; a pop with nothing
// saved restores slot 0 (whatever the last push on an empty stack stored there, or the initial
// value). Only the live slots are kept, so copying a state is cheap when its stacks are shallow.
template <typename T>
class ValueStack {
public:
    static constexpr int kSlots = 256;

    ValueStack() : slots_(1) {}
    ValueStack(const ValueStack& other)
        : slots_(other.slots_.begin(), other.slots_.begin() + std::max(other.count_, 1)), count_(other.count_) {}
    ValueStack& operator=(const ValueStack& other) {
        if (this != &other) {
            slots_.assign(other.slots_.begin(), other.slots_.begin() + std::max(other.count_, 1));
            count_ = other.count_;
        }
        return *this;
    }

    void Push(const T& value) {
        if (count_ >= kSlots) return;
        if (static_cast<std::size_t>(count_) < slots_.size())
            slots_[static_cast<std::size_t>(count_)] = value;
        else
            slots_.push_back(value);
        ++count_;
    }
    void Pop(T& value) {
        if (count_ > 0) --count_;
        value = slots_[static_cast<std::size_t>(count_)];
    }
    int Count() const { return count_; }

private:
    std::vector<T> slots_;  // slot 0 always exists
    int count_ = 0;
};

class RWXState {
public:
    RWXState();

    const RWXMaterial& CurrentMaterial() const { return material_; }
    // The material for changing; every call counts as a change (see MaterialVersion).
    RWXMaterial& EditMaterial();
    void SetMaterial(const RWXMaterial& material);
    // Changes whenever the current material may have changed, never repeats for another
    // material: equal versions mean equal materials.
    uint64_t MaterialVersion() const { return version_; }

    const RWXMatrix& CurrentTransform() const { return transform_; }
    void SetTransform(const RWXMatrix& transform) { transform_ = transform; }
    // transform = x * transform: `x` acts in the frame the current transform defines.
    void PreMultiply(const RWXMatrix& x) { transform_ = Product(x, transform_); }

    void PushTransform() { transforms_.Push(transform_); }
    void PopTransform() { transforms_.Pop(transform_); }
    void PushMaterial() { materials_.Push(material_); }
    void PopMaterial();
    int TransformDepth() const { return transforms_.Count(); }
    int MaterialDepth() const { return materials_.Count(); }

    const RGB& CurrentPrelight() const { return prelight_; }
    void SetPrelight(const RGB& colour) { prelight_ = colour; }

    bool Mipmapping() const { return mipmapping_; }
    void SetMipmapping(bool on) { mipmapping_ = on; }
    AddressMode TextureAddressMode() const { return addressMode_; }
    void SetTextureAddressMode(AddressMode mode) { addressMode_ = mode; }

private:
    RWXMatrix transform_;
    ValueStack<RWXMatrix> transforms_;
    RWXMaterial material_;
    ValueStack<RWXMaterial> materials_;
    RGB prelight_;
    bool mipmapping_ = true;
    AddressMode addressMode_ = AddressMode::Wrap;
    uint64_t version_;
};

// What a material copies from a loaded texture.
struct TextureFacts {
    int32_t frameCount = 0;
    uint8_t mipmapped = 1;
    uint8_t mask = 0;
    AddressMode addressMode = AddressMode::Wrap;
};

// Whoever owns the textures of the model being read (the object).
class TextureProvider {
public:
    // The index of the texture `name` with mask `mask` ("" for none), loading it the first time;
    // kNoTexture when there is no texture to load (textures are not loaded, or the name is of no
    // image kind), kTextureMissing when it was looked for and could not be used.
    static constexpr int32_t kNoTexture = -1;
    static constexpr int32_t kTextureMissing = -2;
    virtual int32_t LoadTexture(std::string_view name, std::string_view mask) = 0;
    virtual TextureFacts FactsOf(int32_t index) const = 0;

protected:
    ~TextureProvider() = default;
};

// Drops the material's texture, then (unless `name` is "null" in any case, or the texture cannot
// be loaded) takes the texture's frames, mipmap, mask and address-mode facts. When no texture is
// taken those three flags keep the previous texture's values. textureMissing is set when the
// provider gives kTextureMissing, cleared otherwise.
void SetMaterialTexture(RWXMaterial& material, TextureProvider& textures, std::string_view name, std::string_view mask);

enum class StateResult {
    NotState,   // `code` is no state command; nothing was read or changed
    Done,       // carried out (which may change nothing, see below)
    Malformed,  // the arguments are wrong; nothing was changed
};

// Carries out a state command whose arguments follow in `args`.
// - Commands of numbers (Color, Ambient, Diffuse, Specular, Surface, Opacity, Translate, Scale,
//   Rotate, Transform) are Malformed when a number is missing, an argument is not a number, or a
//   further number follows the last one they take; the state is then left as it was. Words after
//   the numbers, and a comment anywhere, are not arguments: `Color 1 0 0 # red` is Done. Ambient,
//   Diffuse and Specular take one number when no second number follows it, otherwise three.
// - Commands of value words (and Texture, TextureModes) are never Malformed: a word the command
//   does not take, or none, leaves the state as it was and is Done.
// - Commands without arguments ignore what follows them.
// - `Rotate` about the zero axis is Done and changes nothing.
StateResult RunStateCommand(RWXCommand code, LineTokens& args, RWXState& state, TextureProvider& textures);

}  // namespace pelorus
