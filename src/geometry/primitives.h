#pragma once
// The geometry of the primitive shape commands (Block, Cone, Cylinder, Disc, Hemisphere, Sphere),
// built in the shape's own frame as plain vertices and triangles. The clump reader transforms the
// vertices, files the triangles under the current material and derives the normals; nothing here
// knows of a reader, a material or drawing.

#include <cstdint>
#include <vector>

#include "geometry/tvertex.h"

namespace pelorus {

// Vertices (position and texture coordinates set; normal and prelight zero) and triangles whose
// numbers index `vertices`.
struct PrimitiveMesh {
    std::vector<TVertex> vertices;
    std::vector<TTriangle> triangles;
};

// Largest segment count n accepted by Cone, Cylinder and Disc (Cylinder: 2n = 131072 triangles).
inline constexpr int32_t kMaxPrimitiveSides = 65536;
// Largest division count d accepted by Hemisphere and Sphere (Sphere: 8d(2d - 1) = 1046528
// triangles, 525823 vertices). The smallest is 0, which builds the coarsest shape (see below).
inline constexpr int32_t kMaxPrimitiveDivisions = 256;

// Conventions shared by every builder:
// - y is up; round shapes are centred on the y axis. Circles start at angle 0 on +x and turn
//   counter-clockwise seen from above: the point at angle t of a circle of radius r is
//   (r cos t, y, -r sin t), so segment i spans the angles 2*pi*i/n to 2*pi*(i+1)/n.
// - Every triangle is counter-clockwise seen from outside: its face normal (B - A) x (C - A)
//   points away from the shape. Seen from outside, the texture is never mirrored (every triangle
//   is also counter-clockwise in (u, v)).
// - Round sides: u runs once around, u = i/n at column i; column n repeats column 0's positions
//   with u = 1, so each ring holds n + 1 vertices. v runs from 0 at the lowest row to 1 at the
//   highest. A row that meets the axis (an apex or a pole) holds one vertex per segment, at the
//   middle u of its segment, (i + 0.5)/n, so that no triangle has two corners at one place.
// - Sizes must be finite and not below zero, counts within [3, kMaxPrimitiveSides] or
//   [0, kMaxPrimitiveDivisions]. Otherwise the builder returns false and leaves `out` empty.
//   Radii are the exception where a script may give them below zero: a negative radius turns
//   Cone, Cylinder, Hemisphere and Sphere inside out (built with the radius's size, every
//   triangle's winding reversed and u mirrored, so that the faces look inward and the texture
//   still reads unmirrored from the side they face) and makes Disc face down.
// - A size of exactly zero is accepted: faces that would have no area are left out, and a shape
//   left without any face builds nothing (true, `out` empty). The cases are listed below.
// - On success `out` is replaced by the shape (never appended to). No triangle has two corners
//   at the same position. The callers convert read numbers to counts; a number outside the
//   int32_t range must be rejected before that conversion.

// A box centred on the origin: w along x, h along y, d along z.
// Faces in this order, 4 vertices each (24 vertices, 12 triangles), with u across and v from the
// bottom edge to the top edge as seen from outside: +z (u along +x), +x (u along -z),
// -z (u along -x), -x (u along +z), +y (u along +x, v along -z), -y (u along +x, v along +z).
// Each face's vertices are its corners at (u, v) = (0, 0), (1, 0), (1, 1), (0, 1); its
// triangles are (0, 1, 2) and (0, 2, 3) of those.
// Zero sizes: a face is built only when both its edges are longer than zero, so one zero size
// gives the two faces of a flat rectangle, one facing each way (8 vertices, 4 triangles), and
// two or three zero sizes give nothing.
bool BuildBlock(double w, double h, double d, PrimitiveMesh& out);

// A cone: base circle of radius r in y = 0 (v = 0), apex (0, h, 0) (v = 1); n side triangles,
// no base; 2n + 1 vertices (ring, then apexes). h = 0 gives a flat disc at y = 0 facing up
// (+y), still n triangles; r = 0 gives nothing; r < 0 the cone of -r inside out.
bool BuildCone(double h, double r, int32_t n, PrimitiveMesh& out);

// A cylinder (or a frustum): bottom circle of radius rBottom at y = 0, top circle of radius rTop
// at y = h; 2n side triangles, no caps; 2n + 2 vertices (bottom ring, then top ring).
// Zero sizes: one radius zero builds the cone the shape has become, n triangles and 2n + 1
// vertices (the ring, then the n apex vertices on the axis). h = 0 with different radii builds a
// flat ring at y = 0, 2n triangles, facing up when rBottom > rTop and down otherwise. Both
// radii zero, or h = 0 with equal radii, give nothing. When either radius is below zero the
// shape of both radii's sizes is built inside out.
bool BuildCylinder(double h, double rBottom, double rTop, int32_t n, PrimitiveMesh& out);

// A disc of radius r in the plane y = h, facing up (+y): the n rim vertices (no seam column,
// no centre) and the fan (0, i, i + 1) for i = 1 .. n - 2, that is n - 2 triangles. h is a
// position, not a size: any finite value is accepted. The texture lies flat on the disc seen from
// above: u = 0.5 + x/(2r), v = 0.5 - z/(2r). r = 0 gives nothing. r < 0 gives the disc of -r
// facing down (-y), the fan's winding reversed and v = 0.5 + z/(2|r|), so that the texture reads
// unmirrored from below.
bool BuildDisc(double h, double r, int32_t n, PrimitiveMesh& out);

// A dome of radius r centred on the origin, above y = 0: 4d segments around and d bands from the
// open base (y = 0, v = 0) to the pole (0, r, 0) (v = 1). Rows k = 0 .. d - 1 are rings at the
// elevation k/d * 90 degrees; the band under the pole is 4d single triangles.
// Triangles: 8d(d - 1) + 4d = 4d(2d - 1). Vertices: d(4d + 1) + 4d. d = 0 builds the pyramid of
// d = 1 (a square base corner on +x, 4 triangles). r = 0 gives nothing; r < 0 the hemisphere of
// -r inside out.
bool BuildHemisphere(double r, int32_t d, PrimitiveMesh& out);

// A sphere of radius r centred on the origin: 4d segments around and 2d bands from the pole
// (0, -r, 0) (v = 0) to the pole (0, r, 0) (v = 1); rows k = 1 .. 2d - 1 are rings at the
// elevation (k - d)/d * 90 degrees; each pole band is 4d single triangles.
// Triangles: 8d + 8d(2d - 2) = 8d(2d - 1). Vertices: (2d - 1)(4d + 1) + 8d. d = 0 builds a cube
// with its corners on the sphere, its faces square to the axes (BuildBlock of side 2r/sqrt(3):
// 12 triangles, 24 vertices). r = 0 gives nothing; r < 0 the sphere of -r inside out.
bool BuildSphere(double r, int32_t d, PrimitiveMesh& out);

}  // namespace pelorus
