#include "geometry/primitives.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>
#include <utility>

namespace pelorus {
namespace {

bool ValidSize(double s) {
    return std::isfinite(s) && s >= 0;
}
bool ValidSides(int32_t n) {
    return n >= 3 && n <= kMaxPrimitiveSides;
}
bool ValidDivisions(int32_t d) {
    return d >= 0 && d <= kMaxPrimitiveDivisions;
}
// A radius may be negative: only its size must be finite.
bool ValidRadius(double r) {
    return std::isfinite(r);
}

// Reverses every triangle's winding and mirrors the texture coordinates named, so that a shape
// faces the other way and its texture still reads unmirrored from the side it now faces.
void TurnOver(PrimitiveMesh& m, bool mirrorU, bool mirrorV) {
    for (TTriangle& t : m.triangles) std::swap(t.v[1], t.v[2]);
    for (TVertex& p : m.vertices) {
        if (mirrorU) p.u = 1 - p.u;
        if (mirrorV) p.v = 1 - p.v;
    }
}

void Clear(PrimitiveMesh& out) {
    out.vertices.clear();
    out.triangles.clear();
}

int32_t NextIndex(const PrimitiveMesh& m) {
    return static_cast<int32_t>(m.vertices.size());
}

void AddTriangle(PrimitiveMesh& m, int32_t a, int32_t b, int32_t c) {
    m.triangles.push_back(TTriangle{{a, b, c}});
}

// The point at angle 2*pi*i/n of the circle of `radius` at height y; i = n gives exactly the
// point of i = 0, so that seam columns coincide.
TVertex CirclePoint(int32_t i, int32_t n, double radius, double y) {
    const double t = 2 * std::numbers::pi * static_cast<double>(i % n) / static_cast<double>(n);
    TVertex p;
    p.x = radius * std::cos(t);
    p.y = y;
    p.z = -radius * std::sin(t);
    return p;
}

// One row of a surface of revolution: a ring of `radius` at height y, or a point on the axis when
// the radius is zero; every vertex of the row has texture coordinate v.
struct Row {
    double y;
    double radius;
    double v;
};

// Sweeps the rows (bottom to top) around the y axis in n segments: a ring row gives n + 1
// vertices (u = i/n), an axis row n vertices (u = (i + 0.5)/n); two rings give two triangles per
// segment, a ring and an axis row one. Two neighbouring axis rows must not occur.
void Revolve(std::span<const Row> rows, int32_t n, PrimitiveMesh& out) {
    std::size_t vertexCount = 0;
    for (const Row& row : rows) vertexCount += static_cast<std::size_t>(row.radius > 0 ? n + 1 : n);
    out.vertices.reserve(vertexCount);
    out.triangles.reserve(2 * static_cast<std::size_t>(n) * (rows.size() - 1));

    std::vector<int32_t> first;
    first.reserve(rows.size());
    const double dn = static_cast<double>(n);
    for (const Row& row : rows) {
        first.push_back(NextIndex(out));
        if (row.radius > 0) {
            for (int32_t i = 0; i <= n; ++i) {
                TVertex p = CirclePoint(i, n, row.radius, row.y);
                p.u = static_cast<double>(i) / dn;
                p.v = row.v;
                out.vertices.push_back(p);
            }
        } else {
            for (int32_t i = 0; i < n; ++i) {
                TVertex p;
                p.y = row.y;
                p.u = (static_cast<double>(i) + 0.5) / dn;
                p.v = row.v;
                out.vertices.push_back(p);
            }
        }
    }

    for (std::size_t k = 0; k + 1 < rows.size(); ++k) {
        const bool lowerRing = rows[k].radius > 0;
        const bool upperRing = rows[k + 1].radius > 0;
        const int32_t lo = first[k];
        const int32_t up = first[k + 1];
        for (int32_t i = 0; i < n; ++i) {
            if (lowerRing && upperRing) {
                AddTriangle(out, lo + i, lo + i + 1, up + i + 1);
                AddTriangle(out, lo + i, up + i + 1, up + i);
            } else if (lowerRing) {
                AddTriangle(out, lo + i, lo + i + 1, up + i);
            } else if (upperRing) {
                AddTriangle(out, lo + i, up + i + 1, up + i);
            }
        }
    }
}

// One face of a block: outward axis, and the axes along which u and v grow seen from outside
// (each a signed unit axis, so that corners are computed exactly and shared bit for bit).
struct BlockFace {
    std::array<int, 3> normal;
    std::array<int, 3> right;
    std::array<int, 3> up;
};

constexpr std::array<BlockFace, 6> kBlockFaces{{
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},    // +z
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},   // +x
    {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},  // -z
    {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},   // -x
    {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},   // +y
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},   // -y
}};

// The extent of the block along a signed unit axis.
double Extent(const std::array<int, 3>& axis, const std::array<double, 3>& size) {
    return axis[0] != 0 ? size[0] : axis[1] != 0 ? size[1] : size[2];
}

}  // namespace

bool BuildBlock(double w, double h, double d, PrimitiveMesh& out) {
    Clear(out);
    if (!ValidSize(w) || !ValidSize(h) || !ValidSize(d)) return false;
    const std::array<double, 3> size{w, h, d};
    const std::array<double, 3> half{w / 2, h / 2, d / 2};
    constexpr std::array<std::array<int, 2>, 4> kCorners{{{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}};
    for (const BlockFace& face : kBlockFaces) {
        if (!(Extent(face.right, size) > 0 && Extent(face.up, size) > 0)) continue;
        const int32_t base = NextIndex(out);
        for (const auto& [su, sv] : kCorners) {
            std::array<double, 3> p{};
            for (std::size_t a = 0; a < 3; ++a)
                p[a] = (face.normal[a] + su * face.right[a] + sv * face.up[a]) * half[a];
            TVertex v;
            v.x = p[0];
            v.y = p[1];
            v.z = p[2];
            v.u = su > 0 ? 1 : 0;
            v.v = sv > 0 ? 1 : 0;
            out.vertices.push_back(v);
        }
        AddTriangle(out, base, base + 1, base + 2);
        AddTriangle(out, base, base + 2, base + 3);
    }
    return true;
}

bool BuildCone(double h, double r, int32_t n, PrimitiveMesh& out) {
    Clear(out);
    if (!ValidSize(h) || !ValidRadius(r) || !ValidSides(n)) return false;
    if (r == 0) return true;
    const std::array<Row, 2> rows{{{0, std::abs(r), 0}, {h, 0, 1}}};
    Revolve(rows, n, out);
    if (r < 0) TurnOver(out, true, false);
    return true;
}

bool BuildCylinder(double h, double rBottom, double rTop, int32_t n, PrimitiveMesh& out) {
    Clear(out);
    if (!ValidSize(h) || !ValidRadius(rBottom) || !ValidRadius(rTop) || !ValidSides(n)) return false;
    const bool inward = rBottom < 0 || rTop < 0;
    rBottom = std::abs(rBottom);
    rTop = std::abs(rTop);
    if ((rBottom == 0 && rTop == 0) || (h == 0 && rBottom == rTop)) return true;
    const std::array<Row, 2> rows{{{0, rBottom, 0}, {h, rTop, 1}}};
    Revolve(rows, n, out);
    if (inward) TurnOver(out, true, false);
    return true;
}

bool BuildDisc(double h, double r, int32_t n, PrimitiveMesh& out) {
    Clear(out);
    if (!std::isfinite(h) || !ValidRadius(r) || !ValidSides(n)) return false;
    if (r == 0) return true;
    const double size = std::abs(r);
    out.vertices.reserve(static_cast<std::size_t>(n));
    out.triangles.reserve(static_cast<std::size_t>(n - 2));
    for (int32_t i = 0; i < n; ++i) {
        TVertex p = CirclePoint(i, n, size, h);
        p.u = 0.5 + p.x / (2 * size);
        p.v = 0.5 - p.z / (2 * size);
        out.vertices.push_back(p);
    }
    for (int32_t i = 1; i + 1 < n; ++i) AddTriangle(out, 0, i, i + 1);
    if (r < 0) TurnOver(out, false, true);  // face down; seen from below the texture reads as from above
    return true;
}

bool BuildHemisphere(double r, int32_t d, PrimitiveMesh& out) {
    Clear(out);
    if (!ValidRadius(r) || !ValidDivisions(d)) return false;
    if (r == 0) return true;
    if (r < 0) {
        BuildHemisphere(-r, d, out);
        TurnOver(out, true, false);
        return true;
    }
    d = std::max(d, 1);  // the coarsest hemisphere is the pyramid of one band
    const double dd = static_cast<double>(d);
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(d) + 1);
    for (int32_t k = 0; k < d; ++k) {
        const double phi = std::numbers::pi / 2 * static_cast<double>(k) / dd;
        rows.push_back({r * std::sin(phi), r * std::cos(phi), static_cast<double>(k) / dd});
    }
    rows.push_back({r, 0, 1});
    Revolve(rows, 4 * d, out);
    return true;
}

bool BuildSphere(double r, int32_t d, PrimitiveMesh& out) {
    Clear(out);
    if (!ValidRadius(r) || !ValidDivisions(d)) return false;
    if (r == 0) return true;
    if (r < 0) {
        BuildSphere(-r, d, out);
        TurnOver(out, true, false);
        return true;
    }
    if (d == 0) {
        const double side = 2 * r / std::sqrt(3.0);
        return BuildBlock(side, side, side, out);
    }
    const double dd = static_cast<double>(d);
    std::vector<Row> rows;
    rows.reserve(2 * static_cast<std::size_t>(d) + 1);
    rows.push_back({-r, 0, 0});
    for (int32_t k = 1; k < 2 * d; ++k) {
        const double phi = std::numbers::pi / 2 * static_cast<double>(k - d) / dd;
        rows.push_back({r * std::sin(phi), r * std::cos(phi), static_cast<double>(k) / (2 * dd)});
    }
    rows.push_back({r, 0, 1});
    Revolve(rows, 4 * d, out);
    return true;
}

}  // namespace pelorus
