// The `pelorus` command. The tools that only read (--check, --dump, --help, --version) run here,
// in a small program without Qt, OpenGL or EGL, so that they start at once; everything that needs
// a window system or OpenGL (the viewer, --screenshot, --thumbnail) is carried out by
// `pelorus-gui` beside this program, which takes over this process with the same arguments.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "shell/cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!pelorus::NeedsWindowSystem(args))
        if (const std::optional<int> status = pelorus::RunCommandLine(args, std::cout, std::cerr)) return *status;

    const std::string gui = pelorus::JoinPath(pelorus::ProgramDirectory(), "pelorus-gui");
    std::vector<char*> gargv;
    gargv.push_back(const_cast<char*>(gui.c_str()));
    for (int i = 1; i < argc; ++i) gargv.push_back(argv[i]);
    gargv.push_back(nullptr);
    ::execv(gui.c_str(), gargv.data());
    std::cerr << "pelorus: cannot start \"" << gui << "\": " << std::strerror(errno) << "\n";
    return 1;
}
