// Helpers of the tests that drive the main view: texts and the list's menu entries.
#pragma once

#include <QAction>
#include <QMenu>
#include <QString>

#include "shell/commands.h"

namespace shelltest {

inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The entry of a menu (or of one of its sub-menus) with a command id.
inline QAction* FindAction(QMenu* menu, int id) {
    for (QAction* a : menu->actions()) {
        if (dov::CommandIdOf(a) == id) return a;
        if (a->menu())
            if (QAction* found = FindAction(a->menu(), id)) return found;
    }
    return nullptr;
}

}  // namespace shelltest
