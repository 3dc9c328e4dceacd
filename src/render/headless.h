#pragma once
// An OpenGL context without any window system: an EGL pbuffer with a compatibility-profile
// context, for screenshots, image tests and benchmarks.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pelorus {

enum class HeadlessStatus {
    Ok,
    NoDisplay,  // no EGL display could be opened and initialised at all
    NoConfig,   // no pbuffer configuration with RGB colour, depth and desktop OpenGL
    NoSurface,  // the pbuffer could not be made (for example too large)
    NoContext,  // no OpenGL context, or it could not be made current
};

class HeadlessGL {
public:
    // Makes a width x height pbuffer (each side 1 to 16384) and a context on it, current on the
    // calling thread. The display is looked for on the surfaceless platform first, then on the
    // first EGL device, then as EGL's default display. On failure returns null and, when given,
    // sets `status` and a message in `error`.
    static std::unique_ptr<HeadlessGL> Create(int32_t width, int32_t height, HeadlessStatus* status = nullptr,
                                              std::string* error = nullptr);
    // Releases the context and the pbuffer. The EGL display stays initialised for the rest of the
    // process: it is shared by every context made on it.
    ~HeadlessGL();
    HeadlessGL(const HeadlessGL&) = delete;
    HeadlessGL& operator=(const HeadlessGL&) = delete;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // Makes this context current again (after another was).
    bool MakeCurrent();
    // Waits for drawing to finish and reads the pixels: width x height x 4 bytes (R, G, B, A),
    // top row first.
    std::vector<uint8_t> ReadPixels() const;

private:
    HeadlessGL() = default;
    void* display_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace pelorus
