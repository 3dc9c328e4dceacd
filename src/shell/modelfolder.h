#pragma once
// Stepping through the models of a folder: the next or previous one after the file shown, in name
// order.

#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

// Whether a file named `name` is a model the viewer steps through: a script (".rwx") or a zipped
// model (".zip"), in any letter case.
bool IsSteppedModelName(std::string_view name);

// Name order: letters compared without regard to case, runs of digits by their value (so "tree2"
// comes before "tree10"); names equal so far by their bytes.
bool NameOrderLess(std::string_view a, std::string_view b);

// The file names (without folder) of the regular files in `folder` that IsSteppedModelName
// accepts, in name order; empty when the folder cannot be read.
std::vector<std::string> ModelsInFolder(std::string_view folder);

// The model `step` places after `current` (negative: before) among `names` (in name order), going
// round from the last to the first and back. `current` need not be among them (it may have been
// deleted): the step then counts from the place it would have. "" when `names` is empty, or holds
// only `current`, or `step` is 0.
std::string ModelBeside(std::string_view current, const std::vector<std::string>& names, int step);

}  // namespace pelorus
