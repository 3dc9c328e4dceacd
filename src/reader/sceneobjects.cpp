#include "reader/sceneobjects.h"

#include <algorithm>

namespace pelorus {
namespace {

uint32_t Kept(std::string& text, std::string_view part) {
    constexpr std::size_t kMax = std::numeric_limits<uint32_t>::max();
    part = part.substr(0, std::min(part.size(), kMax));
    text.append(part);
    return static_cast<uint32_t>(part.size());
}

}  // namespace

void SceneObjects::SetText(PlacedObject& o, std::string_view name, std::string_view description,
                           std::string_view action) {
    o.text = text.size();
    o.nameSize = Kept(text, name);
    o.descriptionSize = Kept(text, description);
    o.actionSize = Kept(text, action);
}

uint32_t SceneObjects::AddModel(std::shared_ptr<const RWXObject> model, std::string name) {
    models.push_back(std::move(model));
    modelNames.push_back(std::move(name));
    return static_cast<uint32_t>(models.size() - 1);
}

}  // namespace pelorus
