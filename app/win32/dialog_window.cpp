#include "dialog_window.h"

#include "dialog_template_ex.h"

namespace kv58::win32 {

HINSTANCE programInstance() {
    return GetModuleHandleW(nullptr);
}

DialogWindow::~DialogWindow() {
    if (hwnd_ && !modal_)
        DestroyWindow(hwnd_);
}

INT_PTR DialogWindow::runModal(HWND owner) {
    const std::vector<WORD> bytes = dialogTemplateEx(template_, DS_CENTER);
    modal_ = true;
    const INT_PTR result =
        DialogBoxIndirectParamW(programInstance(), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                owner, procedure, reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

bool DialogWindow::create(HWND owner) {
    const DWORD extra = (template_.frame & kFrameSystemMenu) ? DS_CENTER : 0;
    const std::vector<WORD> bytes = dialogTemplateEx(template_, extra);
    return CreateDialogIndirectParamW(programInstance(),
                                      reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                                      procedure, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void DialogWindow::close(INT_PTR result) {
    if (!hwnd_)
        return;
    if (modal_) {
        EndDialog(hwnd_, result);
    } else {
        DestroyWindow(hwnd_);
    }
}

INT_PTR CALLBACK DialogWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<DialogWindow*>(lParam)->hwnd_ = hwnd;
    }
    // Messages before WM_INITDIALOG (the font, the controls' creation) find no object yet.
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self)
        return FALSE;
    const INT_PTR result = self->handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

}  // namespace kv58::win32
