#pragma once
// What a scene is read into: the objects it places, each a compact record, and the models they
// share. One record per placed object and no allocation of its own, so that a world of a million
// objects costs a few tens of megabytes beside its models; the names, descriptions and actions
// of all objects are kept together in one text.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "geometry/placement.h"
#include "reader/rwxobject.h"

namespace pelorus {

// One object of a scene.
struct PlacedObject {
    // Where it stands and how it is turned and sized.
    Placement placement;
    // Its name (as written by the file that placed it), description and action, one after the
    // other in the scene's text from `text` on (see SceneObjects::Name and the others).
    uint64_t text = 0;
    uint32_t nameSize = 0, descriptionSize = 0, actionSize = 0;
    // The model it shows: an index into SceneObjects::models, kNoModel when it shows none (its
    // model was not found, or it is not an object that shows a model).
    static constexpr uint32_t kNoModel = std::numeric_limits<uint32_t>::max();
    uint32_t model = kNoModel;
    // The line of the file it was read from (1 for the first line), 0 when it has none.
    uint32_t line = 0;
    // What it is in an object dump: 0 an object; other numbers (cameras, zones, particle
    // emitters, movers) are kept but not drawn.
    int32_t type = 0;
    // Drawn at all (actions may hide an object).
    bool visible = true;

    bool HasModel() const { return model != kNoModel; }
};

// The objects a file places and everything they refer to.
struct SceneObjects {
    // The distinct models, each read once, in the order objects first named them.
    std::vector<std::shared_ptr<const RWXObject>> models;
    // For each model: the name it was asked for by (as the first object naming it wrote it).
    std::vector<std::string> modelNames;
    std::vector<PlacedObject> objects;
    // The names, descriptions and actions of all objects, as UTF-8.
    std::string text;
    // For an object dump: its version (0 for anything else), and the model names that were not
    // found (or were refused), each once, in the order they were asked for.
    int dumpVersion = 0;
    std::vector<std::string> missingModels;
    // The file that placed the objects (error lines about an object are placed at its line
    // there; "" for none), and the folders in which the pictures their actions name are looked
    // for, in order.
    std::string file;
    std::vector<std::string> pictureFolders;
    // Pictures fetched from web servers: the name an action gives (a full address, or a name in a
    // web object path) and the file its copy is kept in, which may not exist (yet). Looked at
    // before the folders.
    std::vector<std::pair<std::string, std::string>> pictureFiles;

    std::string_view Name(const PlacedObject& o) const { return Span(o.text, o.nameSize); }
    std::string_view Description(const PlacedObject& o) const { return Span(o.text + o.nameSize, o.descriptionSize); }
    std::string_view Action(const PlacedObject& o) const {
        return Span(o.text + o.nameSize + o.descriptionSize, o.actionSize);
    }
    // The model of `o`; null when it has none.
    const RWXObject* ModelOf(const PlacedObject& o) const {
        return o.model < models.size() ? models[o.model].get() : nullptr;
    }

    // Keeps `name`, `description` and `action` for `o` at the end of the text. Each is cut to
    // 4 GiB - 1 bytes (no file holds more on one line).
    void SetText(PlacedObject& o, std::string_view name, std::string_view description = {},
                 std::string_view action = {});
    // Adds a model with the name it was asked for and returns its index.
    uint32_t AddModel(std::shared_ptr<const RWXObject> model, std::string name);

private:
    std::string_view Span(uint64_t from, uint32_t size) const {
        if (from > text.size()) return {};
        return std::string_view(text).substr(static_cast<std::size_t>(from), size);
    }
};

}  // namespace pelorus
