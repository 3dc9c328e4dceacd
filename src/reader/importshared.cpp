#include "reader/importshared.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/imagedecode.h"
#include "platform/paths.h"
#include "platform/textsafety.h"
#include "reader/modelimport.h"
#include "reader/rwxobject.h"
#include "reader/textureload.h"

namespace pelorus {

RWXMaterial ImportMaterial(const RWXObject& model, const ImportLook& look) {
    RWXMaterial m;
    m.lightSampling = look.smooth ? LightSampling::Vertex : LightSampling::Facet;
    m.ambient = {kImportAmbient, kImportAmbient, kImportAmbient};
    m.diffuse = {kImportDiffuse, kImportDiffuse, kImportDiffuse};
    m.opacity = look.opacity;
    if (look.doubleSided) m.materialModes = kMaterialDouble;
    const TextureFacts facts = model.FactsOf(look.texture);
    if (look.texture >= 0 && facts.frameCount > 0) {
        m.color = {1, 1, 1};
        m.frameCount = 1;
        m.textureFrames[0] = TextureFrameKey(look.texture, 0);
        m.mipmapping = facts.mipmapped;
        m.mask = facts.mask;
        m.addressMode = facts.addressMode;
    } else {
        m.color = look.color;
    }
    return m;
}

std::optional<ImportImage> DecodeImportImage(RWXObject& model, std::string_view name, std::span<const uint8_t> bytes) {
    const std::string shown = BoundedQuote(name);
    if (bytes.size() > kImageFileLimit) {
        model.Log("Couldn't read texture \"" + shown + "\" (larger than 256 MiB).");
        return std::nullopt;
    }
    DecodedImage decoded = DecodeImage(bytes);
    switch (decoded.fault) {
        case ImageFault::None:
            break;
        case ImageFault::TooLarge:
            model.Log("Couldn't read texture \"" + shown + "\": " + std::string(decoded.reason) + ".");
            return std::nullopt;
        case ImageFault::Unsupported:
            model.Log("Couldn't read texture \"" + shown + "\" (" + std::string(decoded.reason) + ").");
            return std::nullopt;
        case ImageFault::NotAnImage:
        case ImageFault::Damaged:
            model.Log("Couldn't read texture \"" + shown + "\".");
            return std::nullopt;
    }
    ImportImage out;
    out.image = std::move(decoded.image);
    if (decoded.kind == ImageKind::Jpeg)
        out.jpeg = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
    return out;
}

int32_t AddImportTexture(RWXObject& model, std::string name, std::string fileName, RgbaImage rgba,
                         std::shared_ptr<const std::vector<uint8_t>> jpeg, AddressMode mode) {
    const bool mirror = mode == AddressMode::Mirror;
    const uint64_t stored =
        static_cast<uint64_t>(rgba.width) * static_cast<uint64_t>(rgba.height) * 4 * (mirror ? 4 : 1);
    if (ImageBudget* budget = model.Options().images; budget && !budget->Take(stored)) {
        model.Log("Couldn't read texture \"" + BoundedQuote(name) + "\" (the images read would take more than " +
                  std::to_string(budget->Limit() >> 20) + " MiB).");
        return -1;
    }
    TTexture t;
    t.name = std::move(name);
    t.fileName = std::move(fileName);
    t.addressMode = mode;
    t.mipmapped = 1;
    bool anyAlpha = false;
    for (std::size_t i = 3; i < rgba.pixels.size(); i += 4) anyAlpha = anyAlpha || rgba.pixels[i] != 255;
    t.hasMask = anyAlpha ? 1 : 0;
    t.width = mirror ? 2 * rgba.width : rgba.width;
    t.height = mirror ? 2 * rgba.height : rgba.height;
    t.frameCount = 1;
    if (!anyAlpha && !mirror && jpeg) t.jpeg = jpeg;
    t.colourJpeg = std::move(jpeg);
    t.pixels = std::make_shared<const std::vector<uint8_t>>(
        mirror ? ComposeTextureRgba(std::move(rgba.pixels), rgba.width, rgba.height, {}, 0, 0, true)
               : std::move(rgba.pixels));
    std::vector<TTexture>& textures = model.Textures();
    textures.push_back(std::move(t));
    return static_cast<int32_t>(textures.size() - 1);
}

namespace {

// `text` (a number in scientific form, "1.5e-03") with its exponent lowered by `shift`, read as
// a double.
double ShiftedDecimal(const char* first, const char* last, int shift) {
    const char* e = std::find(first, last, 'e');
    int exponent = 0;
    if (e != last) std::from_chars(e + (e[1] == '+' ? 2 : 1), last, exponent);
    char text[64];
    const std::size_t mantissa = static_cast<std::size_t>(e - first);
    std::memcpy(text, first, mantissa);
    text[mantissa] = 'e';
    const auto [end, ec] = std::to_chars(text + mantissa + 1, text + sizeof text, exponent - shift);
    double out = 0;
    std::from_chars(text, end, out);
    return out;
}

}  // namespace

double TenthOf(double metres) {
    if (!std::isfinite(metres) || metres == 0) return metres / 10;
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, metres, std::chars_format::scientific);
    return ShiftedDecimal(text, end, 1);
}

double DecimalOf(float value) {
    if (!std::isfinite(value) || value == 0) return value;
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    return ShiftedDecimal(text, end, 0);
}

void NotCarried::Say(std::string_view what) {
    if (said_.contains(what)) return;
    said_.emplace(what);
    model_.Log(prefix_ + ":Not carried over: " + std::string(what) + " : \"" + BoundedQuote(model_.Path()) + "\"");
}

void CannotRead(RWXObject& model, std::string_view prefix, std::string_view why) {
    model.Log(std::string(prefix) + ":Cannot read \"" + BoundedQuote(model.Path()) + "\": " + std::string(why));
}

}  // namespace pelorus
