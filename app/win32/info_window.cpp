#include "info_window.h"

#include <commctrl.h>

#include <algorithm>

#include "wide_text.h"

namespace kv58::win32 {

namespace {
constexpr int kTextId = 1037;
constexpr long kBarSteps = 1000;
}  // namespace

InfoWindow::InfoWindow() : DialogWindow(infoWindowTemplate()) {}

INT_PTR InfoWindow::handle(UINT message, WPARAM, LPARAM) {
    // No way to close it from the keyboard or the frame: the operation closes it.
    return message == WM_CLOSE ? TRUE : FALSE;
}

bool InfoWindow::open(HWND over) {
    if (!create(over))
        return false;
    createBar();
    centreOver(over);
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    paintNow();
    return true;
}

HWND InfoWindow::text() const {
    return item(kTextId);
}

void InfoWindow::createBar() {
    // The common controls register their window classes when asked; asking again costs nothing.
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    const DialogRect& r = kInfoProgressBar;
    RECT rect{r.x, r.y, r.x + r.width, r.y + r.height};
    MapDialogRect(hwnd(), &rect);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, hwnd(), nullptr,
                           programInstance(), nullptr);
    if (bar_)
        SendMessageW(bar_, PBM_SETRANGE32, 0, kBarSteps);
}

void InfoWindow::centreOver(HWND over) {
    RECT area;
    if (over && IsWindowVisible(over)) {
        GetWindowRect(over, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT frame;
    GetWindowRect(hwnd(), &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(hwnd(), nullptr, (area.left + area.right - width) / 2,
                 (area.top + area.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void InfoWindow::setText(const std::string& text) {
    SetDlgItemTextW(hwnd(), kTextId, toWide(text).c_str());
    paintNow();
}

void InfoWindow::setProgress(long done, long total) {
    if (!bar_)
        return;
    if (total <= 0) {
        ShowWindow(bar_, SW_HIDE);
        barStep_ = -1;
        return;
    }
    // In steps of a tenth of a percent: the bar is painted at most a thousand times.
    const int step = static_cast<int>(std::clamp(done, 0L, total) * kBarSteps / total);
    if (step == barStep_)
        return;
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(step), 0);
    if (barStep_ < 0)
        ShowWindow(bar_, SW_SHOWNA);
    barStep_ = step;
    paintNow();
}

// Paints what changed now, and lets the window system show the window (its first exposure
// arrives while the operation runs): only this window's messages are taken from the queue,
// every other one stays for the message loop.
void InfoWindow::paintNow() {
    UpdateWindow(hwnd());
    MSG message;
    while (PeekMessageW(&message, hwnd(), 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

}  // namespace kv58::win32
