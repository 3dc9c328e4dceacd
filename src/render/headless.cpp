#include "render/headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstring>
#include <string_view>

namespace pelorus {
namespace {

bool HasExtension(const char* list, std::string_view name) {
    if (!list) return false;
    std::string_view all(list);
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find(' ', pos);
        if (end == std::string_view::npos) end = all.size();
        if (all.substr(pos, end - pos) == name) return true;
        pos = end + 1;
    }
    return false;
}

bool Initialise(EGLDisplay display) {
    if (display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    return eglInitialize(display, &major, &minor) == EGL_TRUE;
}

EGLDisplay OpenDisplay() {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay && HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (Initialise(d)) return d;
    }
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (getPlatformDisplay && queryDevices && HasExtension(clientExtensions, "EGL_EXT_platform_device")) {
        EGLDeviceEXT devices[8];
        EGLint count = 0;
        if (queryDevices(8, devices, &count) == EGL_TRUE)
            for (EGLint i = 0; i < count; ++i) {
                EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
                if (Initialise(d)) return d;
            }
    }
    EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (Initialise(d)) return d;
    return EGL_NO_DISPLAY;
}

// The pbuffer configuration with the deepest depth buffer.
bool ChooseConfig(EGLDisplay display, EGLConfig& out) {
    for (const EGLint depth : {32, 24, 16}) {
        const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_DEPTH_SIZE,
                                     depth,
                                     EGL_NONE};
        EGLint count = 0;
        if (eglChooseConfig(display, attributes, &out, 1, &count) == EGL_TRUE && count > 0) return true;
    }
    return false;
}

std::string Hex(EGLint code) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(static_cast<unsigned>(code) >> shift) & 0xFu];
    return out;
}

}  // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::Create(int32_t width, int32_t height, HeadlessStatus* status,
                                               std::string* error) {
    auto fail = [&](HeadlessStatus s, std::string message) -> std::unique_ptr<HeadlessGL> {
        if (status) *status = s;
        if (error) *error = std::move(message) + " (EGL error " + Hex(eglGetError()) + ")";
        return nullptr;
    };
    if (status) *status = HeadlessStatus::Ok;
    if (width < 1 || height < 1 || width > 16384 || height > 16384)
        return fail(HeadlessStatus::NoSurface, "the image size must be 1 to 16384 pixels each way");

    const EGLDisplay display = OpenDisplay();
    if (display == EGL_NO_DISPLAY) return fail(HeadlessStatus::NoDisplay, "no EGL display is available");
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE)
        return fail(HeadlessStatus::NoContext, "EGL cannot make desktop OpenGL contexts");
    EGLConfig config = nullptr;
    if (!ChooseConfig(display, config))
        return fail(HeadlessStatus::NoConfig, "no EGL configuration offers an OpenGL pbuffer with a depth buffer");

    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    const EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface == EGL_NO_SURFACE) return fail(HeadlessStatus::NoSurface, "the pbuffer could not be made");

    EGLContext context = EGL_NO_CONTEXT;
    const char* version = eglQueryString(display, EGL_VERSION);
    const bool profiles = (version && std::strncmp(version, "1.5", 3) >= 0) ||
                          HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_create_context");
    if (profiles) {
        const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
    }
    if (context == EGL_NO_CONTEXT) context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        eglDestroySurface(display, surface);
        return fail(HeadlessStatus::NoContext, "no OpenGL context could be made");
    }
    if (eglMakeCurrent(display, surface, surface, context) != EGL_TRUE) {
        eglDestroyContext(display, context);
        eglDestroySurface(display, surface);
        return fail(HeadlessStatus::NoContext, "the OpenGL context could not be made current");
    }
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
    gl->display_ = display;
    gl->surface_ = surface;
    gl->context_ = context;
    gl->width_ = width;
    gl->height_ = height;
    glViewport(0, 0, width, height);
    return gl;
}

HeadlessGL::~HeadlessGL() {
    if (eglGetCurrentContext() == context_) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglDestroySurface(display_, surface_);
}

bool HeadlessGL::MakeCurrent() {
    return eglMakeCurrent(display_, surface_, surface_, context_) == EGL_TRUE;
}

std::vector<uint8_t> HeadlessGL::ReadPixels() const {
    const std::size_t row = static_cast<std::size_t>(width_) * 4u;
    std::vector<uint8_t> bottomUp(row * static_cast<std::size_t>(height_));
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<uint8_t> out(bottomUp.size());
    for (int32_t y = 0; y < height_; ++y)
        std::memcpy(out.data() + static_cast<std::size_t>(y) * row,
                    bottomUp.data() + static_cast<std::size_t>(height_ - 1 - y) * row, row);
    return out;
}

}  // namespace pelorus
