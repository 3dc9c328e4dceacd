#pragma once
// What applying a world sets up, as plain values: the shell turns the world's settings into one
// of these, the drawing side turns it into OpenGL state, a backdrop texture and the scene's
// ground and skybox.

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "net/downloader.h"

namespace pelorus {

// Default values are those of the default world.
struct WorldLook {
    std::string objectPath;                         // "" or ending with a separator
    std::string backdrop = "fall_day";              // image name as the world gives it
    std::string groundPath = "models/fall_gd.rwx";  // objectPath + "models/" + ground + ".rwx"
    std::string skyboxPath = "models/.rwx";         // objectPath + "models/" + skybox + ".rwx"
    std::array<float, 4> clearColor{30 / 255.0f, 9 / 255.0f, 200 / 255.0f, 1};  // backdrop colour
    std::array<float, 4> directional{1, 1, 1, 1};                               // light 0
    std::array<float, 4> ambient{1, 1, 1, 1};                                   // light-model ambient
    double lightX = -0.8, lightY = -0.5, lightZ = -0.2;                         // direction the light shines to
    bool fog = false;
    double fogStart = 4.0, fogEnd = 15.0;          // model units
    std::optional<std::array<float, 4>> fogColor;  // unset: the clear colour
    // Where the world opens, in the notation of scene/location.h ("2.5N 3W 1.2a 90"); "" for none.
    std::string entryPoint;
    // Opens the encrypted archives of the object path; "" for none.
    std::string objectPassword;
    // How long a copy fetched from a web object path is used without asking its server; zero asks
    // on every load.
    std::chrono::seconds refreshTime = kDefaultRefreshTime;
};

}  // namespace pelorus
