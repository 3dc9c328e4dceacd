#include "app/programicon.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <array>
#include <charconv>
#include <string>

namespace pelorus {
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

// Whatever the user's locale: an SVG wants a point before the decimals.
std::string Number(double v) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc{} ? std::string(buffer, end) : std::string("0");
}

}  // namespace

std::string ProgramIconSvg() {
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

QImage ProgramIconImage(int size) {
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

QByteArray ProgramIconPng(int size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !ProgramIconImage(size).save(&buffer, "PNG")) return {};
    return bytes;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : kProgramIconSizes) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

}  // namespace pelorus
