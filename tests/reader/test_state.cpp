// State commands: what each changes, what malformed arguments leave alone, and the stacks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/rwxstate.h"

namespace pelorus {
namespace {

// Records texture requests; "wood"-like names load as a one-frame texture at index 0.
class FakeTextures final : public TextureProvider {
public:
    int32_t LoadTexture(std::string_view name, std::string_view mask) override {
        requests.push_back(std::string(name) + "|" + std::string(mask));
        return name == "missing" ? -1 : 0;
    }
    TextureFacts FactsOf(int32_t) const override { return facts; }
    std::vector<std::string> requests;
    TextureFacts facts{1, 1, 0, AddressMode::Wrap};
};

class StateTest : public ::testing::Test {
protected:
    StateResult Run(std::string_view line) {
        LineTokens args(line);
        const RWXCommand code = CommandCode(args.Word());
        const StateResult result = RunStateCommand(code, args, state, textures);
        EXPECT_NE(result, StateResult::NotState) << line;
        return result;
    }
    const RWXMaterial& M() const { return state.CurrentMaterial(); }
    void ExpectPoint(double x, double y, double z, double ex, double ey, double ez) {
        double ox, oy, oz;
        state.CurrentTransform().TransformPoint(x, y, z, ox, oy, oz);
        EXPECT_NEAR(ox, ex, 1e-12);
        EXPECT_NEAR(oy, ey, 1e-12);
        EXPECT_NEAR(oz, ez, 1e-12);
    }
    RWXState state;
    FakeTextures textures;
};

TEST_F(StateTest, NewMaterialHasTheDocumentedDefaults) {
    const RWXMaterial m;
    EXPECT_EQ(m.geometrySampling, GeometrySampling::Solid);
    EXPECT_EQ(m.axisAlignment, AxisAlignment::None);
    EXPECT_EQ(m.lightSampling, LightSampling::Facet);
    EXPECT_EQ(m.color, (RGB{0, 0, 0}));
    EXPECT_EQ(m.opacity, 1.0);
    EXPECT_EQ(m.frameCount, 0);
    EXPECT_EQ(m.textureModes, 7);
    EXPECT_EQ(m.materialModes, 0);
    EXPECT_EQ(m.mipmapping, 1);
    EXPECT_EQ(m.mask, 0);
    EXPECT_EQ(m.addressMode, AddressMode::Wrap);
    EXPECT_TRUE(m.IsOpaque());
}

TEST_F(StateTest, OneOrThreeNumberForms) {
    Run("Ambient 0.4");
    EXPECT_EQ(M().ambient, (RGB{0.4, 0.4, 0.4}));
    Run("Ambient 0.1 0.2 0.3");
    EXPECT_EQ(M().ambient, (RGB{0.1, 0.2, 0.3}));
    // A single number followed by blanks or a comment is still the one-number form.
    Run("Diffuse 0.7   ");
    EXPECT_EQ(M().diffuse, (RGB{0.7, 0.7, 0.7}));
    Run("Specular 0.2 # shiny");
    EXPECT_EQ(M().specular, (RGB{0.2, 0.2, 0.2}));
    // Two numbers are neither form: nothing changes.
    Run("Specular 0.5 0.6");
    EXPECT_EQ(M().specular, (RGB{0.2, 0.2, 0.2}));
}

TEST_F(StateTest, SurfaceThenDiffuse) {
    Run("Surface 0.3 0.6 0.1");
    Run("Diffuse 0.9");
    EXPECT_EQ(M().ambient, (RGB{0.3, 0.3, 0.3}));
    EXPECT_EQ(M().diffuse, (RGB{0.9, 0.9, 0.9}));
    EXPECT_EQ(M().specular, (RGB{0.1, 0.1, 0.1}));
}

// Lines whose numbers are missing, are no numbers, or are more than the command takes are
// Malformed and change nothing; words the command does not take are no fault and change nothing
// either; words and comments after complete numbers are not arguments.
TEST_F(StateTest, MalformedNumbersAreToldApartAndLeaveTheStateUnchanged) {
    Run("Color 1 0 0");
    const RWXMaterial before = M();
    const RWXMatrix transform = state.CurrentTransform();
    struct Case {
        const char* line;
        StateResult result;
    };
    const Case cases[] = {
        {"Color 0 1", StateResult::Malformed},
        {"Color 0 x 1", StateResult::Malformed},
        {"Color red green blue", StateResult::Malformed},
        {"Color", StateResult::Malformed},
        {"Color 1 2 3 4", StateResult::Malformed},
        {"Color 1,0,0", StateResult::Malformed},
        {"Color 1 0 1e999", StateResult::Malformed},  // beyond a double: no number
        {"Opacity", StateResult::Malformed},
        {"Opacity half", StateResult::Malformed},
        {"Opacity 0.5 0.5", StateResult::Malformed},
        {"Surface 1 2", StateResult::Malformed},
        {"Surface 1 2 3 4", StateResult::Malformed},
        {"Translate 1 2", StateResult::Malformed},
        {"Translate 1 2 3 .5", StateResult::Malformed},
        {"Rotate 0 0 1", StateResult::Malformed},
        {"Rotate 0 1 0 90 45", StateResult::Malformed},
        {"Scale 2", StateResult::Malformed},
        {"Transform 1 0 0 0", StateResult::Malformed},
        {"Transform 1 0 0 0 0 1 0 0 0 0 1 0 2 0 0", StateResult::Malformed},      // 15 numbers
        {"Transform 1 0 0 0 0 1 0 0 0 0 1 0 2 0 0 1 0", StateResult::Malformed},  // 17 numbers
        {"Ambient", StateResult::Malformed},
        {"Ambient x", StateResult::Malformed},
        {"Specular 0.5 0.6", StateResult::Malformed},  // neither form
        {"Diffuse 0.1 0.2 0.3 0.4", StateResult::Malformed},
        {"Rotate 0 0 0 90", StateResult::Done},  // no axis: well-formed, nothing turns
        {"LightSampling Flat", StateResult::Done},
        {"LightSampling", StateResult::Done},
        {"GeometrySampling Vertex", StateResult::Done},
        {"AxisAlignment", StateResult::Done},
        {"MaterialModes Lit", StateResult::Done},
        {"AddTextureMode Double", StateResult::Done},
        {"TextureMipmapState 1", StateResult::Done},
        {"Texture", StateResult::Done},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.line), c.result) << c.line;
        EXPECT_EQ(M(), before) << c.line;
        EXPECT_EQ(state.CurrentTransform(), transform) << c.line;
    }
    EXPECT_TRUE(textures.requests.empty());

    // What may be meant is carried out: a comment, or words, after complete numbers.
    for (const char* line : {"Color 0 1 0 # green", "Color 0 1 0 green", "Color 0 1 0#green", "Opacity 0.5 tag 3",
                             "Translate 1 0 0 # x", "TransformBegin 1 2", "Ambient 0.5 ambient"})
        EXPECT_EQ(Run(line), StateResult::Done) << line;
    EXPECT_EQ(M().color, (RGB{0, 1, 0}));
    EXPECT_EQ(M().opacity, 0.5);
    EXPECT_EQ(M().ambient, (RGB{0.5, 0.5, 0.5}));
    double x, y, z;
    state.CurrentTransform().TransformPoint(0, 0, 0, x, y, z);
    EXPECT_EQ(x, 1);
}

TEST_F(StateTest, OnlyStateCommandsAreCarriedOut) {
    for (const char* line : {"Vertex 1 2 3", "Sphere 1 2", "ClumpBegin", "Frobnicate", "Tag 3", ""}) {
        LineTokens args(line);
        EXPECT_EQ(RunStateCommand(CommandCode(args.Word()), args, state, textures), StateResult::NotState) << line;
    }
}

TEST_F(StateTest, TextureModeWords) {
    Run("TextureModes Lit");
    EXPECT_EQ(M().textureModes, kTextureLit);
    Run("AddTextureMode Filter");
    EXPECT_EQ(M().textureModes, kTextureLit | kTextureFilter);
    Run("RemoveTextureMode Lit");
    EXPECT_EQ(M().textureModes, kTextureFilter);
    Run("TextureModes NULL");
    EXPECT_EQ(M().textureModes, 0);
    Run("TextureMode foreshorten #!filter Lit");
    EXPECT_EQ(M().textureModes, kTextureForeshorten | kTextureFilter | kTextureLit);
}

TEST_F(StateTest, MaterialModeWords) {
    Run("MaterialModes Double");
    EXPECT_EQ(M().materialModes, kMaterialDouble);
    Run("MaterialMode Bogus");
    EXPECT_EQ(M().materialModes, kMaterialDouble);
    Run("MaterialModes NULL");
    EXPECT_EQ(M().materialModes, 0);
    Run("AddMaterialMode double");
    EXPECT_EQ(M().materialModes, kMaterialDouble);
    Run("RemoveMaterialMode Double");
    EXPECT_EQ(M().materialModes, 0);
}

TEST_F(StateTest, SamplingAndAlignmentWords) {
    Run("GeometrySampling wireframe");
    Run("LightSampling Vertex");
    Run("AxisAlignment ZOrientY");
    EXPECT_EQ(M().geometrySampling, GeometrySampling::WireFrame);
    EXPECT_EQ(M().lightSampling, LightSampling::Vertex);
    EXPECT_EQ(M().axisAlignment, AxisAlignment::ZOrientY);
}

TEST_F(StateTest, MaterialBeginEndRestoresEverything) {
    Run("Color 1 0 0");
    Run("MaterialBegin");
    Run("Color 0 0 1");
    Run("Opacity 0.5");
    Run("MaterialEnd");
    EXPECT_EQ(M().color, (RGB{1, 0, 0}));
    EXPECT_EQ(M().opacity, 1.0);
}

TEST_F(StateTest, TransformCommandsActInTheCurrentFrame) {
    Run("Translate 1 0 0");
    Run("Scale 2 2 2");
    ExpectPoint(1, 0, 0, 3, 0, 0);
    Run("Identity");
    ExpectPoint(1, 0, 0, 1, 0, 0);
    Run("Transform 1 0 0 0 0 1 0 0 0 0 1 0 2 0 0 1");
    Run("Transform 1 0 0 0 0 1 0 0 0 0 1 0 2 0 0 1");
    ExpectPoint(0, 0, 0, 4, 0, 0);  // multiplied in, not replaced
}

TEST_F(StateTest, TransformStackScopesAndOverflows) {
    Run("TransformEnd");  // nothing saved: the bottom slot is the identity
    EXPECT_EQ(state.CurrentTransform(), RWXMatrix{});

    Run("TransformBegin");
    Run("Translate 0 5 0");
    Run("TransformEnd");
    EXPECT_EQ(state.CurrentTransform(), RWXMatrix{});

    // 257 pushes save 256; 257 pops then end with the value saved first.
    for (int i = 0; i < 257; ++i) {
        Run("TransformBegin");
        Run("Translate 1 0 0");
    }
    EXPECT_EQ(state.TransformDepth(), 256);
    for (int i = 0; i < 257; ++i) Run("TransformEnd");
    EXPECT_EQ(state.TransformDepth(), 0);
    EXPECT_EQ(state.CurrentTransform(), RWXMatrix{});
}

TEST_F(StateTest, PopOnEmptyStackRestoresTheLastValuePushedIntoTheBottomSlot) {
    Run("Color 0 1 0");
    Run("MaterialBegin");
    Run("MaterialEnd");
    Run("Color 1 1 1");
    Run("MaterialEnd");  // nothing saved: slot 0 still holds green
    EXPECT_EQ(M().color, (RGB{0, 1, 0}));
}

TEST_F(StateTest, CopiedStatesShareNothing) {
    Run("Color 1 0 0");
    Run("MaterialBegin");
    RWXState copy = state;
    Run("Color 0 0 1");
    Run("MaterialEnd");
    EXPECT_EQ(copy.CurrentMaterial().color, (RGB{1, 0, 0}));
    EXPECT_EQ(copy.MaterialDepth(), 1);
    EXPECT_EQ(state.MaterialDepth(), 0);
}

TEST_F(StateTest, TextureWordsChooseTheMaskOnlyAfterTheMaskWord) {
    Run("Texture wood Mask woodmask");
    Run("Texture wood Foo bar");
    Run("TextureExt wood mask");
    ASSERT_EQ(textures.requests.size(), 3u);
    EXPECT_EQ(textures.requests[0], "wood|woodmask");
    EXPECT_EQ(textures.requests[1], "wood|");
    EXPECT_EQ(textures.requests[2], "wood|");
}

TEST_F(StateTest, TextureNullOrMissingDropsTheTextureButKeepsItsFlags) {
    textures.facts = {4, 0, 1, AddressMode::Mirror};
    Run("Texture wood Mask holes");
    EXPECT_EQ(M().frameCount, 4);
    EXPECT_EQ(M().mask, 1);
    EXPECT_FALSE(M().IsOpaque());
    Run("Texture NULL");
    EXPECT_EQ(M().frameCount, 0);
    EXPECT_EQ(M().mask, 1);  // kept from the previous texture
    EXPECT_EQ(M().mipmapping, 0);
    EXPECT_EQ(M().addressMode, AddressMode::Mirror);
    EXPECT_FALSE(M().IsOpaque());
    Run("Texture missing");
    EXPECT_EQ(M().frameCount, 0);
    EXPECT_EQ(textures.requests.size(), 2u);  // null never reaches the loader
}

TEST_F(StateTest, MipmapAndAddressModeSettings) {
    Run("TextureMipmapState Off");
    Run("TextureAddressMode Clamp");
    EXPECT_FALSE(state.Mipmapping());
    EXPECT_EQ(state.TextureAddressMode(), AddressMode::Clamp);
    Run("TextureAddressMode Sideways");
    EXPECT_EQ(state.TextureAddressMode(), AddressMode::Clamp);
}

TEST(RWXMaterial, EqualityCoversEveryField) {
    RWXMaterial a, b;
    EXPECT_EQ(a, b);
    b.specular.g = 0.5;
    EXPECT_NE(a, b);
    b = a;
    b.textureFrames[57] = 3;  // a slot beyond the frame count still counts
    EXPECT_NE(a, b);
    b = a;
    b.opacity = 0.999;
    EXPECT_FALSE(b.IsOpaque());
    RWXMaterial copy = a;
    copy.color.r = 1;
    EXPECT_EQ(a.color.r, 0);
    EXPECT_NE(copy, a);
}

TEST(RWXMaterial, HashAgreesWithEquality) {
    RWXMaterial a, b;
    a.color = {-0.0, 0, 0};
    b.color = {0.0, 0, 0};
    ASSERT_EQ(a, b);
    EXPECT_EQ(MaterialHash(a), MaterialHash(b));
}

}  // namespace
}  // namespace pelorus
