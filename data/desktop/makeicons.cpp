// Writes the program's icon: "pelorus.svg" and "pelorus-<size>.png" for the sizes of the hicolor
// theme, all drawn from the one shape below, into the folder given as the only argument.
//
//   makeicons OUTDIR

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QString>
#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The icon on a 256 x 256 canvas: a rounded square and a cube seen from above a corner, its
// three visible faces in three shades, with light edges.
constexpr double kCanvas = 256;
constexpr double kCornerRadius = 44;
constexpr double kInset = 8;
constexpr const char* kBackground = "#23324f";
constexpr const char* kEdge = "#fff1cf";
constexpr double kEdgeWidth = 7;

struct Face {
    const char* colour;
    std::array<QPointF, 4> corners;
};

constexpr QPointF kTop{128, 38}, kLeft{42, 88}, kRight{214, 88}, kCentre{128, 138}, kLowLeft{42, 186},
    kLowRight{214, 186}, kBottom{128, 236};

const std::array<Face, 3> kFaces{{
    {"#f4c95d", {kTop, kRight, kCentre, kLeft}},         // top
    {"#d9822b", {kLeft, kCentre, kBottom, kLowLeft}},    // left
    {"#9c4a26", {kCentre, kRight, kLowRight, kBottom}},  // right
}};

std::string Number(double v) {
    std::string s = std::to_string(v);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string Svg() {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
    out += "  <rect x=\"" + Number(kInset) + "\" y=\"" + Number(kInset) + "\" width=\"" + Number(kCanvas - 2 * kInset) +
           "\" height=\"" + Number(kCanvas - 2 * kInset) + "\" rx=\"" + Number(kCornerRadius) + "\" fill=\"" +
           kBackground + "\"/>\n";
    for (const Face& face : kFaces) {
        out += "  <polygon points=\"";
        for (std::size_t i = 0; i < face.corners.size(); ++i) {
            if (i > 0) out += " ";
            out += Number(face.corners[i].x()) + "," + Number(face.corners[i].y());
        }
        out += "\" fill=\"" + std::string(face.colour) + "\" stroke=\"" + kEdge + "\" stroke-width=\"" +
               Number(kEdgeWidth) + "\" stroke-linejoin=\"round\"/>\n";
    }
    out += "</svg>\n";
    return out;
}

QImage Png(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kCanvas, size / kCanvas);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kBackground));
    p.drawRoundedRect(QRectF(kInset, kInset, kCanvas - 2 * kInset, kCanvas - 2 * kInset), kCornerRadius, kCornerRadius);
    QPen edge{QColor(kEdge)};
    edge.setWidthF(kEdgeWidth);
    edge.setJoinStyle(Qt::RoundJoin);
    for (const Face& face : kFaces) {
        p.setPen(edge);
        p.setBrush(QColor(face.colour));
        p.drawPolygon(face.corners.data(), static_cast<int>(face.corners.size()));
    }
    p.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeicons OUTDIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::ofstream svg(folder + "/pelorus.svg", std::ios::binary);
    svg << Svg();
    if (!svg.flush()) {
        std::fprintf(stderr, "makeicons: cannot write %s/pelorus.svg\n", folder.c_str());
        return 1;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QString::fromStdString(folder + "/pelorus-" + std::to_string(size) + ".png");
        if (!Png(size).save(path, "PNG")) {
            std::fprintf(stderr, "makeicons: cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
