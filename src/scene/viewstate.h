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
};

struct Camera {
    double yaw = 0;         // degrees about the vertical axis
    double pitch = 0;       // degrees about the horizontal axis
    double height = 0;      // model units
    double distance = 1.5;  // model units
};

}  // namespace pelorus
