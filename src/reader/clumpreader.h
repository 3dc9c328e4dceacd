#pragma once
// Reading the body of a clump or prototype: the geometry commands (vertices, faces, prototype
// instances) that build it, and the state commands that change what the next ones build.

#include <string>
#include <string_view>

#include "geometry/tclump.h"
#include "reader/lexedline.h"
#include "reader/rwtypes.h"

namespace pelorus {

class RWXObject;

// Carries out one line of `clump`'s body, read as part of `object` (whose state gives the
// transform and material, and whose prototypes can be instanced), and returns its
// classification: the structural codes, Comment and Empty as the command table says, and Unknown
// for a word that is no command, for a malformed state command (see RunStateCommand) and for a
// geometry line that was rejected (too few or malformed numbers, a vertex number that names no
// vertex of this clump, a polygon of fewer than three vertices, a primitive shape whose sizes are
// negative or whose count is no whole number within the shape's limits). Rejected lines change
// nothing.
// Primitive shapes (see primitives.h) add their vertices through the current transform with the
// current prelight colour, and their triangles under the current material; each triangle counts
// as one face read. Every face carries a tag: its own when its vertex numbers are followed by
// "Tag N" (see ReadFaceTag), otherwise the clump's face tag, which a "Tag N" line sets for the
// faces that follow (a "Tag" line without a number changes nothing and is not reported); a child
// clump starts untagged. All geometry keeps to the object's budget (RWXObject::RoomForGeometry): once
// it is passed, geometry lines (vertices, faces, shapes, instances) are skipped without a word.
// When `why` is given and a geometry line is rejected, it is set to the reason in parentheses:
//   (vertex 9 does not exist: the clump has 4)      a vertex number naming no vertex ("has none")
//   (4 vertex numbers needed, 3 given)              too few numbers ("3 numbers needed" for a
//                                                   vertex, "UV needs 2 numbers" after a word)
//   ("abc" is not a number)                         the whole word that could not be read
//   ("1.5" is not a whole number)                   where a vertex number or a count belongs
//   (a polygon needs at least 3 vertices, 2 given)
//   (70000 segments: 3 to 65536 allowed)            a shape's count out of its range
//   (a size below zero)                             any other shape that cannot be built
// For every other line (accepted, unknown words, structure, malformed state commands) it is
// left empty.
RWXCommand ReadClumpLine(TClump& clump, RWXObject& object, std::string_view line, std::string* why = nullptr);
// The same for a line whose plain vertex or face the lexer has read already.
RWXCommand ReadClumpLexed(TClump& clump, RWXObject& object, const LexedLine& lexed, std::string* why = nullptr);

// Copies the prototype `name` names (see RWXObject::FindProto) into `clump`: its vertices
// through the current transform, its triangles with the prototype's materials (`withMaterials`)
// or with the current material, and with their tags (untagged ones take the clump's face tag).
// An unknown name does nothing.
void InstanceProto(TClump& clump, RWXObject& object, std::string_view name, bool withMaterials);

}  // namespace pelorus
