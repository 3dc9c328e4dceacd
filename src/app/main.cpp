#include <iostream>
#include <string>
#include <vector>

#include "app/screenshot.h"
#include "app/viewerapp.h"
#include "shell/cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    // "--object-path FOLDER" may come first: the tool is named by what follows.
    std::vector<std::string> tool = args;
    pelorus::TakeObjectPath(tool);
    if (!tool.empty() && tool[0] == "--screenshot") return pelorus::RunScreenshot(args, std::cout, std::cerr);
    if (!tool.empty() && tool[0] == "--thumbnail") return pelorus::RunThumbnail(args, std::cout, std::cerr);
    if (const std::optional<int> status = pelorus::RunCommandLine(args, std::cout, std::cerr)) return *status;
    return pelorus::RunViewer(argc > 0 ? argv[0] : "pelorus", args);
}
