// Menus of the system built from the declarative menu templates.
#pragma once

#include <windows.h>

#include "core/dialog_template.h"

namespace kv58::win32 {

// A menu bar with the template's drop-down menus, command ids and texts ("&" marks the
// mnemonic). The window it is attached to destroys it.
HMENU createMenuBar(const MenuTemplate& menu);

// Appends a separator and the item to a window's system menu; an empty text adds nothing.
void appendToSystemMenu(HWND window, int commandId, const char* text);

}  // namespace kv58::win32
