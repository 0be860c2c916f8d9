#include "about_dialog.h"

#include "wide_text.h"

namespace kv58::win32 {

namespace {
constexpr int kVersionLine = 1038;
}

AboutDialog::AboutDialog(std::string versionLine)
    : DialogWindow(aboutTemplate()), versionLine_(std::move(versionLine)) {}

INT_PTR AboutDialog::handle(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextW(hwnd(), kVersionLine, toWide(versionLine_).c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        close(LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace kv58::win32
