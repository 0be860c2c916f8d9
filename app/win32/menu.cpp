#include "menu.h"

#include <string>

#include "wide_text.h"

namespace kv58::win32 {

HMENU createMenuBar(const MenuTemplate& menu) {
    HMENU bar = CreateMenu();
    for (const PopupMenuTemplate& popup : menu.popups) {
        HMENU drop = CreatePopupMenu();
        for (const MenuItemTemplate& item : popup.items) {
            if (item.isSeparator()) {
                AppendMenuW(drop, MF_SEPARATOR, 0, nullptr);
            } else {
                AppendMenuW(drop, MF_STRING, static_cast<UINT_PTR>(item.commandId),
                            toWide(item.text).c_str());
            }
        }
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(drop), toWide(popup.text).c_str());
    }
    return bar;
}

void appendToSystemMenu(HWND window, int commandId, const char* text) {
    HMENU system = GetSystemMenu(window, FALSE);
    if (!system || !text || !*text)
        return;
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, static_cast<UINT_PTR>(commandId), toWide(text).c_str());
}

}  // namespace kv58::win32
