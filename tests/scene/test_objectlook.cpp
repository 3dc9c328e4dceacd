// What an object's create commands make of its model: per material and tag, on a tiny model of
// four kinds of faces whose answers are known.

#include <gtest/gtest.h>

#include "scene/objectlook.h"
#include "testutil.h"

namespace pelorus {
namespace {

// Faces: red at opacity 0.8 (untagged); textured "wood" (same opacity) tagged 200 and, through
// the clump's tag, 3; a white panel tagged 100 inside a prototype instance.
const char* const kModel =
    "ProtoBegin panel\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\n"
    "Color 1 1 1\nQuad 1 2 3 4 tag 100\nProtoEnd\n"
    "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\n"
    "Color 1 0 0\nOpacity 0.8\nQuad 1 2 3 4\n"
    "Texture wood\nQuad 1 2 3 4 tag 200\n"
    "Tag 3\nTriangle 1 2 3\n"
    "ClumpBegin\nProtoInstance panel\nClumpEnd\n"
    "ClumpEnd\n";

class ObjectLook : public testing::Test {
protected:
    void SetUp() override {
        dir_.Write("wood.jpg", test::BandsJpeg(8, 8, {{120, 80, 40}}));
        test::LogCapture log;
        model_ = test::ReadScript(kModel, log, test::TexturesFrom(dir_.Path()));
        ASSERT_TRUE(log.Lines().empty()) << log.Text();
        faces_ = ModelFaces::Of(*model_);
    }

    // The batch of faces tagged `tag`.
    const MatTris& Batch(int32_t tag) const {
        const MatTris* found = nullptr;
        for (const auto& top : model_->Clumps())
            ForEachClump(*top, [&](const TClump& c) {
                for (const auto& b : c.Batches())
                    if (b->Tag() == tag) found = b.get();
            });
        EXPECT_TRUE(found) << "no batch tagged " << tag;
        return *found;
    }
    ObjectVariant Make(std::string_view action, std::string_view description = "",
                       std::vector<CommandOutcome>* outcomes = nullptr) const {
        const Action parsed = ParseAction(action);
        EXPECT_FALSE(parsed.error) << action;
        return MakeVariant(faces_, parsed, description, outcomes);
    }

    test::TempDir dir_;
    std::unique_ptr<RWXObject> model_;
    ModelFaces faces_;
};

TEST_F(ObjectLook, TheModelHasFourKindsOfFaces) {
    ASSERT_EQ(faces_.kinds.size(), 4u);
    EXPECT_TRUE(Batch(200).Material().HasTexture());
    EXPECT_EQ(&Batch(200).Material(), &Batch(3).Material());
    EXPECT_TRUE(faces_.HasTag(100));  // from the prototype instance
    EXPECT_FALSE(faces_.HasTag(5));
    EXPECT_TRUE(Make("").Plain());
    EXPECT_TRUE(Make("activate color red").Plain());
}

TEST_F(ObjectLook, ColourReachesAllFacesOrThoseOfItsTagAndDropsTheTexture) {
    const ObjectVariant all = Make("create color blue");
    EXPECT_EQ(all.changes.size(), 4u);
    for (const int32_t tag : {0, 3, 100, 200}) {
        const FaceLook* look = all.LookOf(Batch(tag));
        ASSERT_TRUE(look) << tag;
        EXPECT_EQ(look->image, FaceImage::None);
        EXPECT_EQ(look->material.color, (RGB{0, 0, 1}));
        EXPECT_FALSE(look->material.HasTexture());
        EXPECT_EQ(look->material.textureFrames[0], 0u);
    }
    EXPECT_EQ(all.LookOf(Batch(0))->material.opacity, 0.8);  // the rest of the material stays

    const ObjectVariant tagged = Make("create color 00ff00 tag=3");
    ASSERT_EQ(tagged.changes.size(), 1u);
    EXPECT_EQ(tagged.LookOf(Batch(3))->material.color, (RGB{0, 1, 0}));
    EXPECT_EQ(tagged.LookOf(Batch(200)), nullptr);  // same material, other tag
    EXPECT_EQ(tagged.LookOf(Batch(0)), nullptr);
}

TEST_F(ObjectLook, TexturesAreNamedForLaterAndAMaskMakesFacesTranslucent) {
    const ObjectVariant v = Make("create texture stone mask=stonem tag=0, texture brick tag=200");
    ASSERT_EQ(v.changes.size(), 2u);
    const FaceLook& stone = *v.LookOf(Batch(0));
    EXPECT_EQ(stone.image, FaceImage::Named);
    EXPECT_EQ(stone.texture, "stone");
    EXPECT_EQ(stone.mask, "stonem");
    EXPECT_FALSE(stone.material.IsOpaque());
    const FaceLook& brick = *v.LookOf(Batch(200));
    EXPECT_EQ(brick.texture, "brick");
    EXPECT_EQ(brick.mask, "");
    EXPECT_FALSE(brick.material.HasTexture());
    EXPECT_FALSE(brick.material.IsMasked());

    // Later commands win where both change the same faces.
    EXPECT_EQ(Make("create texture stone, color red").LookOf(Batch(0))->image, FaceImage::None);
    const ObjectVariant textured = Make("create color red, texture stone");
    EXPECT_EQ(textured.LookOf(Batch(0))->image, FaceImage::Named);
    EXPECT_EQ(textured.LookOf(Batch(100))->material.color, (RGB{1, 0, 0}));
}

TEST_F(ObjectLook, OpacityMultipliesAndSurfaceFactorsReplace) {
    const ObjectVariant v = Make("create opacity 0.5, opacity 0.5, ambient 0.2, diffuse 0.7 tag=100, specular 1");
    EXPECT_DOUBLE_EQ(v.LookOf(Batch(0))->material.opacity, 0.2);
    EXPECT_DOUBLE_EQ(v.LookOf(Batch(100))->material.opacity, 0.25);
    EXPECT_FALSE(v.LookOf(Batch(100))->material.IsOpaque());
    EXPECT_EQ(v.LookOf(Batch(0))->material.ambient, (RGB{0.2, 0.2, 0.2}));
    EXPECT_EQ(v.LookOf(Batch(0))->material.diffuse, Batch(0).Material().diffuse);
    EXPECT_EQ(v.LookOf(Batch(100))->material.diffuse, (RGB{0.7, 0.7, 0.7}));
    EXPECT_EQ(v.LookOf(Batch(3))->material.specular, (RGB{1, 1, 1}));
    EXPECT_EQ(v.LookOf(Batch(3))->image, FaceImage::Model);  // the texture stays
    EXPECT_TRUE(v.LookOf(Batch(3))->material.HasTexture());
}

TEST_F(ObjectLook, ScaleAndVisibilityAreTheObjects) {
    const ObjectVariant v = Make("create scale 2 3, visible no");
    EXPECT_EQ(v.scale, (std::array<double, 3>{2, 3, 1}));
    EXPECT_FALSE(v.visible);
    EXPECT_TRUE(v.changes.empty());
    EXPECT_FALSE(v.Plain());
    EXPECT_TRUE(Make("create visible off, visible on, scale 1").Plain());
}

TEST_F(ObjectLook, SignsAndPicturesGoToTheirTaggedFaces) {
    const ObjectVariant v = Make("create sign \"Open\" color=black bcolor=white, picture photo.jpg");
    ASSERT_EQ(v.changes.size(), 2u);
    EXPECT_EQ(v.LookOf(Batch(100))->image, FaceImage::Sign);  // inside a prototype instance
    EXPECT_FALSE(v.LookOf(Batch(100))->material.HasTexture());
    EXPECT_EQ(v.LookOf(Batch(200))->image, FaceImage::Picture);
    EXPECT_EQ(v.sign, (SignLook{"Open", {0, 0, 0}, {255, 255, 255}}));
    EXPECT_EQ(v.picture, "photo.jpg");

    EXPECT_EQ(Make("create sign", "Line one\x80\x7FLine two").sign, (SignLook{"Line one\nLine two"}));
    EXPECT_EQ(Make("create sign").sign, (SignLook{""}));
    // A sign that a later colour covers is not shown.
    const ObjectVariant covered = Make("create sign \"x\", picture p.jpg, color red");
    EXPECT_FALSE(covered.sign);
    EXPECT_EQ(covered.picture, "");
}

TEST_F(ObjectLook, EachCommandSaysWhatBecameOfIt) {
    std::vector<CommandOutcome> outcomes;
    const ObjectVariant v = Make(
        "create color red name=door, rotate 0 5 0, color red tag=9, scale 2, sign, picture p.jpg, visible no;"
        " activate color blue",
        "", &outcomes);
    using O = CommandOutcome;
    EXPECT_EQ(outcomes, (std::vector<O>{O::OtherObject, O::NotCarriedOut, O::NoFaces, O::Applied, O::Applied,
                                        O::Applied, O::Applied}));
    EXPECT_EQ(v.scale[0], 2);

    // A model without sign or picture faces.
    test::LogCapture log;
    const auto plain =
        test::ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n", log);
    outcomes.clear();
    const ObjectVariant none =
        MakeVariant(ModelFaces::Of(*plain), ParseAction("create sign \"x\", picture p.jpg"), "", &outcomes);
    EXPECT_EQ(outcomes, (std::vector<O>{O::NoFaces, O::NoFaces}));
    EXPECT_FALSE(none.sign);
    EXPECT_TRUE(none.Plain());

    outcomes.clear();
    MakeVariant(faces_, ParseAction("create color nosuchcolour"), "", &outcomes);
    EXPECT_TRUE(outcomes.empty());
}

TEST_F(ObjectLook, ActionsThatLookAlikeShareAKey) {
    auto key = [](std::string_view action, std::string_view description = "") {
        return VariantKey(ParseAction(action), description);
    };
    // What is carried out counts, not how it was written nor what is left alone.
    EXPECT_EQ(key("create color red, rotate 0 5 0; activate color blue"), key("CREATE  Color RED"));
    EXPECT_EQ(key("create color red"), key("create color ff0000"));
    EXPECT_EQ(key("create color red name=door, scale 2"), key("create scale 2 2 2"));
    EXPECT_NE(key("create color red"), key("create color blue"));
    EXPECT_NE(key("create color red"), key("create color red tag=3"));
    EXPECT_NE(key("create color red, texture x"), key("create texture x, color red"));
    EXPECT_NE(key("create texture a mask=b"), key("create texture ab"));
    // The description counts only for a sign without text.
    EXPECT_EQ(key("create sign \"hi\"", "one"), key("create sign \"hi\"", "two"));
    EXPECT_NE(key("create sign", "one"), key("create sign", "two"));
    EXPECT_EQ(key("create color red", "one"), key("create color red", "two"));
    // Nothing carried out: no key.
    EXPECT_EQ(key(""), "");
    EXPECT_EQ(key("activate color red; bump scale 2"), "");
    EXPECT_EQ(key("create rotate 5, color red name=x"), "");
    EXPECT_EQ(key("create color nosuchcolour"), "");

    // Equal keys give equal variants.
    for (const auto& [a, b] : {std::pair{"create color red, rotate 0 5", "create color ff0000"},
                               std::pair{"create sign, opacity 0.5 tag=3", "create sign , opacity .5 tag=3, move 1"}}) {
        ASSERT_EQ(key(a), key(b));
        const ObjectVariant va = Make(a), vb = Make(b);
        ASSERT_EQ(va.changes.size(), vb.changes.size());
        for (std::size_t i = 0; i < va.changes.size(); ++i) EXPECT_EQ(va.changes[i].look, vb.changes[i].look);
        EXPECT_EQ(va.sign, vb.sign);
    }
}

}  // namespace
}  // namespace pelorus
