#pragma once
// The catalogue's part of the "&Object" menu: one submenu per group of entries, inserted above
// the menu's separator, and taken out again before the next rebuild.

#include <QPointer>
#include <cstdint>
#include <vector>

#include "shell/catalogue.h"

class QAction;
class QMenu;

namespace pelorus {

class CatalogueMenu {
public:
    // Items go into `menu` before `before` (the separator); a null `before` appends them.
    CatalogueMenu(QMenu* menu, QAction* before);
    ~CatalogueMenu();
    CatalogueMenu(const CatalogueMenu&) = delete;
    CatalogueMenu& operator=(const CatalogueMenu&) = delete;

    // Replaces the items inserted last by `groups`, in order: an item per group opening its
    // submenu (labelled as the group says, without its mnemonic when an item of the menu's own
    // has that letter), whose items are the group's entries or, for a group
    // split in parts, one submenu per part holding that part's entries. An entry is a checkable
    // action with the entry's label and check state and its command number in QAction::data().
    // The submenus are children of the menus that open them, so a triggered entry reaches the
    // triggered() signal of `menu` and of the menu bar above it.
    void Rebuild(const std::vector<CatalogueMenuGroup>& groups);

    // Removes every item inserted by Rebuild; the menu's own items stay. The removed submenus
    // are deleted when control is back in the event loop, so both calls are safe from a handler
    // of one of the entries.
    void Clear();

    // The entry actions in menu order (for the shell and the tests).
    std::vector<QAction*> EntryActions() const;
    // The action of entry `command`; null when the menu has none.
    QAction* EntryAction(int32_t command) const;

private:
    QPointer<QMenu> menu_;
    QPointer<QAction> before_;
    std::vector<QPointer<QMenu>> groups_;
};

}  // namespace pelorus
