#include "app/cataloguemenu.h"

#include <QAction>
#include <QMenu>
#include <QString>
#include <set>

#include "app/qtext.h"
#include "shell/viewershell.h"

namespace pelorus {
namespace {

void AddEntries(QMenu* menu, const std::vector<CatalogueMenuEntry>& entries) {
    for (const CatalogueMenuEntry& entry : entries) {
        QAction* action = menu->addAction(ToQString(entry.label));
        action->setCheckable(true);
        action->setChecked(entry.checked);
        action->setData(entry.command);
    }
}

void CollectEntries(const QMenu* menu, std::vector<QAction*>& out) {
    for (QAction* action : menu->actions()) {
        if (QMenu* sub = action->menu())
            CollectEntries(sub, out);
        else if (action->data().isValid())
            out.push_back(action);
    }
}

}  // namespace

CatalogueMenu::CatalogueMenu(QMenu* menu, QAction* before) : menu_(menu), before_(before) {}

CatalogueMenu::~CatalogueMenu() {
    Clear();
}

void CatalogueMenu::Clear() {
    for (QPointer<QMenu>& group : groups_) {
        if (!group) continue;
        if (menu_) menu_->removeAction(group->menuAction());
        // Not at once: the entry being triggered may be in it, with Qt still walking its menus.
        group->deleteLater();
    }
    groups_.clear();
}

void CatalogueMenu::Rebuild(const std::vector<CatalogueMenuGroup>& groups) {
    Clear();
    if (!menu_) return;
    // The menu's own items keep their letters: a group of the same letter is reached by the
    // arrow keys only, so that each letter picks one item.
    std::set<char32_t> taken;
    for (const QAction* action : menu_->actions())
        if (const char32_t letter = MnemonicOf(action->text().toStdString())) taken.insert(letter);
    for (const CatalogueMenuGroup& group : groups) {
        const bool free = taken.insert(MnemonicOf(group.label)).second;
        auto* sub = new QMenu(ToQString(free ? group.label : WithoutMnemonic(group.label)), menu_);
        if (group.parts.size() == 1 && group.parts.front().label.empty()) {
            AddEntries(sub, group.parts.front().entries);
        } else {
            for (const CatalogueMenuPart& part : group.parts) {
                auto* partMenu = new QMenu(ToQString(part.label), sub);
                AddEntries(partMenu, part.entries);
                sub->addMenu(partMenu);
            }
        }
        menu_->insertMenu(before_.data(), sub);  // at the end when the separator is gone
        groups_.emplace_back(sub);
    }
}

std::vector<QAction*> CatalogueMenu::EntryActions() const {
    std::vector<QAction*> out;
    for (const QPointer<QMenu>& group : groups_)
        if (group) CollectEntries(group.data(), out);
    return out;
}

QAction* CatalogueMenu::EntryAction(int32_t command) const {
    for (QAction* action : EntryActions())
        if (action->data().toInt() == command) return action;
    return nullptr;
}

}  // namespace pelorus
