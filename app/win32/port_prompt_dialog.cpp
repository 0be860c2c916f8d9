#include "port_prompt_dialog.h"

#include <algorithm>

#include "wide_text.h"

namespace kv58::win32 {

namespace {
constexpr int kPortList = 1047;
constexpr int kSetDefault = 1048;
}  // namespace

PortPromptDialog::PortPromptDialog(PortPromptState state)
    : DialogWindow(portPromptTemplate()), state_(std::move(state)) {}

INT_PTR PortPromptDialog::handle(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        show();
        SetFocus(item(kPortList));
        return FALSE;  // the focus is set
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (LOWORD(wParam) == IDOK)
            take();
        close(LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// The list sorts its items itself; the state's selection is found again by its text.
void PortPromptDialog::show() {
    HWND list = item(kPortList);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& port : state_.items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(port).c_str()));
    const bool selected =
        state_.selected >= 0 && static_cast<size_t>(state_.selected) < state_.items.size();
    if (selected) {
        const std::wstring text = toWide(state_.items[static_cast<size_t>(state_.selected)]);
        const LRESULT index = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    } else {
        SetWindowTextW(list, toWide(state_.editText).c_str());
    }
    CheckDlgButton(hwnd(), kSetDefault, state_.setDefault ? BST_CHECKED : BST_UNCHECKED);
}

void PortPromptDialog::take() {
    HWND list = item(kPortList);
    state_.selected = -1;
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR) {
        const std::string chosen = comboItemText(list, static_cast<int>(index));
        const auto it = std::find(state_.items.begin(), state_.items.end(), chosen);
        if (it != state_.items.end())
            state_.selected = static_cast<int>(it - state_.items.begin());
    }
    state_.editText = windowText(list);
    state_.setDefault = IsDlgButtonChecked(hwnd(), kSetDefault) == BST_CHECKED;
}

}  // namespace kv58::win32
