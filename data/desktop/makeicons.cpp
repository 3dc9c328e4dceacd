// Writes the program's icon: "pelorus.svg" and "pelorus-<size>.png" for the sizes of the hicolor
// theme, all drawn from the one shape the program draws its window's icon with, into the folder
// given as the only argument.
//
//   makeicons OUTDIR

#include <QString>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/programicon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeicons OUTDIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::ofstream svg(folder + "/pelorus.svg", std::ios::binary);
    svg << pelorus::ProgramIconSvg();
    if (!svg.flush()) {
        std::fprintf(stderr, "makeicons: cannot write %s/pelorus.svg\n", folder.c_str());
        return 1;
    }
    for (const int size : pelorus::kProgramIconSizes) {
        const QString path = QString::fromStdString(folder + "/pelorus-" + std::to_string(size) + ".png");
        if (!pelorus::ProgramIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "makeicons: cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
