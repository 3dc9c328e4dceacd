#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/screenshot.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--screenshot") return pelorus::RunScreenshot(args, std::cout, std::cerr);
    if (const std::optional<int> status = pelorus::RunCommandLine(args, std::cout, std::cerr)) return *status;
    // The viewer window is not built yet: without a tool option there is nothing to do.
    std::cerr << "pelorus: the viewer window is not available in this build; use --check or --dump\n";
    return 2;
}
