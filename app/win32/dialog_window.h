// A window of the system's dialog manager, made from a declarative template and run by an
// object of a class derived from this one, which receives the dialog's messages.
#pragma once

#include <windows.h>

#include "core/dialog_template.h"

namespace kv58::win32 {

// The module whose resources the templates name (icon 128, bitmap 136).
HINSTANCE programInstance();

class DialogWindow {
public:
    explicit DialogWindow(const DialogTemplate& dialog) : template_(dialog) {}
    virtual ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Runs the dialog modally over `owner` (centred) until EndDialog; returns the result given
    // to EndDialog, or -1 when the system could not create the window.
    INT_PTR runModal(HWND owner);
    // Creates the dialog modeless; false when the system could not create it. A dialog whose
    // template has a system menu is centred and visible, others stay hidden until shown.
    bool create(HWND owner);
    // Ends a modal run with `result`, or destroys a modeless window.
    void close(INT_PTR result);

    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    const DialogTemplate& dialogTemplate() const { return template_; }

protected:
    // One message; returns what a dialog procedure returns (FALSE: the dialog manager's
    // default handling). WM_INITDIALOG arrives here too, after hwnd() is set.
    virtual INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    static INT_PTR CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    const DialogTemplate& template_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

}  // namespace kv58::win32
