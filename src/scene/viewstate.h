#pragma once
// What the shell's view settings and camera hold; the drawing side reads them every frame.

namespace pelorus {

struct ViewFlags {
    bool axes = true;
    bool geometry = false;
    bool object = true;
    bool normals = false;
    bool backdrop = true;
    bool skybox = true;
    bool ground = true;
    bool fog = true;
    bool lighting = false;
    bool topmost = false;
    // Faces whose texture could not be used are drawn with a checker pattern instead of plain.
    bool missingTextures = false;
};

// The orbiting camera. The eye looks at the orbit centre, which is the target raised by the
// height; yaw turns about the vertical through it, a positive pitch looks down from above.
struct Camera {
    double yaw = 0;         // degrees about the vertical axis
    double pitch = 0;       // degrees about the horizontal axis
    double height = 0;      // model units
    double distance = 1.5;  // model units
    // The point of the world the camera orbits, in model units (the origin until a model is
    // framed or the view is panned).
    double targetX = 0, targetY = 0, targetZ = 0;
    bool operator==(const Camera&) const = default;
};

}  // namespace pelorus
