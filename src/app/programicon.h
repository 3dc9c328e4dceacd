#pragma once
// The program's icon, drawn in code: the window shows it whether or not the program is installed,
// and the build draws the installed icon files from the same shape.

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <string>

namespace pelorus {

// The sizes of the icon theme's PNG files, in pixels.
inline constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon as an SVG drawing of 256 x 256.
std::string ProgramIconSvg();
// The icon drawn at `size` x `size` pixels, with a transparent background.
QImage ProgramIconImage(int size);
// ProgramIconImage encoded as PNG.
QByteArray ProgramIconPng(int size);
// The icon at every size of kProgramIconSizes.
QIcon ProgramIcon();

}  // namespace pelorus
