#pragma once
// Ear-clipping triangulation of one polygon of a clump.

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/tvertex.h"

namespace pelorus {

// Appends to `out` the triangles of `polygon` (zero-based numbers into `vertices`).
//
// Contract:
// - `polygon` holds at least three numbers and every number names an element of `vertices`;
//   numbers may repeat. Any size is accepted.
// - The polygon is projected onto the plane of its first three vertices and clipped ear by ear:
//   a corner is an ear when it turns the polygon's way by at least 1e-7 (twice-area units) and
//   no other remaining vertex lies inside or on its triangle; otherwise the polygon is split
//   along the diagonal from the corner's tip to the inside vertex farthest from the corner's base,
//   and the part starting at that vertex is triangulated before the part starting at the tip.
//   Every triangle keeps the polygon's winding.
// - When the first three vertices are collinear or coincide, the plane is the polygon's normal
//   over all its edges (Newell) and the first in-plane axis its first edge of non-zero length,
//   for that polygon and the parts it splits into. Polygons whose first three vertices span a
//   plane never take this path, nor do their parts.
// - A polygon without area (all vertices on one line) gives no triangles when it has more than
//   three vertices, and its one (degenerate) triangle when it has exactly three. A full round of
//   rejected corners ends the polygon: a counter-clockwise one then gets one last triangle, a
//   clockwise one none.
// - The work is bounded by about n log n for a polygon of n numbers, whatever its shape: every
//   polygon of up to a few thousand vertices, and larger ones that clip easily, get exactly the
//   triangles above; a polygon that would take more (its numbers repeated over and over, or a
//   huge one with many reflex corners) has what is left of it, and of the parts it was split
//   into, cut into fans (p0, pk, pk+1) in polygon order, leaving out triangles with a repeated
//   number. Fans keep the winding and the total signed area of what they cover.
// Large polygons find the vertices inside a corner through a grid over their projected
// coordinates, so that typical polygons of many thousand vertices take time close to linear.
void TessellatePolygon(std::span<const TVertex> vertices, std::span<const int32_t> polygon,
                       std::vector<TTriangle>& out);

// The same triangles, found by visiting every remaining vertex for every corner and without any
// bound on the work (for comparison: quadratic, or worse, in the polygon's size).
void TessellatePolygonByScan(std::span<const TVertex> vertices, std::span<const int32_t> polygon,
                             std::vector<TTriangle>& out);

}  // namespace pelorus
