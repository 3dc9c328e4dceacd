#pragma once
// The transparent pass of a scene as plain data: every triangle of a batch that is not opaque,
// with the object it belongs to, its eye-space depth, and the back-to-front order they are
// drawn in.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "geometry/placement.h"
#include "geometry/tclump.h"
#include "reader/rwxobject.h"
#include "scene/actionlooks.h"
#include "scene/viewmath.h"

namespace pelorus {

// One triangle of a batch that is not opaque. The pointers are not owned: they live in an object
// of the same scene, which outlives the list.
struct TTranslucentTriangle {
    const TClump* clump = nullptr;   // holds the batch and the vertices its triangles name
    const MatTris* batch = nullptr;  // one of the clump's batches
    int32_t triangle = 0;            // index in the batch
    int32_t source = 0;              // index of its object in the list's sources
    double depth = 0;                // mean eye-space z, recomputed before every sort
    bool masked = false;             // the batch's texture has a mask (recorded only)
    bool fromGround = false;
};

// An object a transparent pass draws from: its model and how it is placed.
struct TranslucentSource {
    const RWXObject* object = nullptr;
    Placement placement;
    const ObjectLook* look = nullptr;  // how its faces look when not as its model says
};

// A transparent pass: the records and the objects they come from. The records of each source
// are together, in source order: those of source i start at firstRecord[i].
struct TranslucentList {
    std::vector<TranslucentSource> sources;
    std::vector<std::size_t> firstRecord;       // one per source
    std::vector<int32_t> sceneIndex;            // one per source: its object in the scene, -1 for others
    std::vector<TTranslucentTriangle> records;  // objects in order, then the ground
    // The records of source `i`: [begin, end).
    std::size_t RecordsBegin(std::size_t i) const { return i < firstRecord.size() ? firstRecord[i] : records.size(); }
    std::size_t RecordsEnd(std::size_t i) const { return RecordsBegin(i + 1); }
};

// Appends the transparent triangles of `object` placed by `placement` (clumps in order, each
// clump's non-opaque batches before its children, triangles in order) with `fromGround` as given.
// An object without any adds nothing, not even a source. `sceneIndex` is kept for the source (the
// object's place in its scene, -1 when it has none). With `look`, a batch is transparent as the look
// draws it (an action may make opaque faces transparent, and masked ones opaque).
void AppendTranslucent(TranslucentList& list, const RWXObject& object, const Placement& placement, bool fromGround,
                       int32_t sceneIndex = -1, const ObjectLook* look = nullptr);

// The row of a modelview matrix that gives eye-space z, taken for an object placed by
// `placement` (PlacementMatrix, or FacerMatrix with the camera's `yaw` for axis-aligned batches):
// z = x*r[0] + y*r[1] + z*r[2] + r[3] for a point of the object.
using DepthRow = std::array<double, 4>;
DepthRow DepthRowOf(const Mat4& modelview, const Placement& placement, double yaw, bool axisAligned);

// The mean eye-space z of a triangle's corners through `row` (negative in front of the eye,
// smaller is farther). NaN when the index is outside the batch or a corner outside the clump.
double TriangleDepth(const TClump& clump, const MatTris& batch, int32_t triangle, const DepthRow& row);

// Sets every record's depth under `modelview` (one depth row per source object and alignment,
// not one matrix per triangle; `yaw` turns axis-aligned batches). A record whose triangle cannot
// be measured gets NaN.
void ComputeDepths(TranslucentList& list, const Mat4& modelview, double yaw);

// The indices of `records` by ascending depth: the farthest first, drawn back to front. NaN
// depths come first; depths beyond the range of float count as the largest float. The order of
// equal depths is not fixed. `order` is replaced. A list holds fewer than 2^32 records.
void SortBackToFront(std::span<const TTranslucentTriangle> records, std::vector<uint32_t>& order);
// The same for the records that `candidates` names (indices into `records`, each below its size).
void SortBackToFront(std::span<const TTranslucentTriangle> records, std::span<const uint32_t> candidates,
                     std::vector<uint32_t>& order);

// Where the eye of `modelview` is: the point it maps to the origin, in the coordinates it maps
// from. False (and `eye` as it was) when its 3 x 3 part is singular or not finite.
bool EyeOf(const Mat4& modelview, Vec3& eye);

// Whether OpenGL culls the triangle seen from `eye` (in its clump's coordinates: see ToModel)
// through a modelview and placement without reflection and a perspective projection: its material is single-sided and
// not axis-aligned, and the eye lies behind the plane of its counter-clockwise corners by more
// than a millionth of the radian. Collinear or repeated corners, a corner outside the clump and an
// index outside the batch are not culled here (OpenGL decides).
bool FacesAway(const TClump& clump, const MatTris& batch, int32_t triangle, const Vec3& eye);

// Sets the depth of the records of the sources for which `drawn` is true (one flag per source; a
// shorter span leaves the rest as they are) and appends their indices to `candidates`, sources in
// order. Rows as ComputeDepths. With `cullFrom` (the eye in world coordinates), records that
// face away from it (FacesAway, the eye taken into each object's coordinates) are left out: they
// would draw nothing.
void ComputeDepthsOf(TranslucentList& list, std::span<const uint8_t> drawn, const Mat4& modelview, double yaw,
                     std::vector<uint32_t>& candidates, const Vec3* cullFrom = nullptr);

}  // namespace pelorus
