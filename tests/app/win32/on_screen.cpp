#include "on_screen.h"

#include <cwctype>

namespace kv58::win32::test {

namespace {

std::function<void(HWND)> pendingModal;

// The modal dialog of this thread: a visible, enabled dialog whose owner it disabled.
BOOL CALLBACK findModal(HWND window, LPARAM found) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (IsWindowVisible(window) && IsWindowEnabled(window) && owner && !IsWindowEnabled(owner) &&
        className(window) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Called by the modal loop's timer; tries again until the dialog is there.
void CALLBACK answerModal(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND modal = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findModal, reinterpret_cast<LPARAM>(&modal));
    if (!modal)
        return;
    KillTimer(nullptr, timer);
    if (pendingModal) {
        std::function<void(HWND)> inspect = std::move(pendingModal);
        pendingModal = nullptr;
        inspect(modal);
    }
    PostMessageW(modal, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

}  // namespace

bool displayAvailable() {
    static const bool available = [] {
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        if (!probe)
            return false;
        DestroyWindow(probe);
        return true;
    }();
    return available;
}

void pumpMessages(HWND dialog) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void pressKey(HWND dialog, WPARAM virtualKey) {
    MSG message{GetFocus(), WM_KEYDOWN, virtualKey, 1, GetTickCount(), {}};
    if (!IsDialogMessageW(dialog, &message))
        DispatchMessageW(&message);
    pumpMessages(dialog);
}

void pressAltLetter(HWND dialog, wchar_t letter) {
    const LPARAM altDown = 1 | (1 << 29);  // repeat count 1, context code: Alt is down
    MSG message{GetFocus(), WM_SYSCHAR, static_cast<WPARAM>(letter), altDown, GetTickCount(), {}};
    if (!IsDialogMessageW(dialog, &message))
        DispatchMessageW(&message);
    pumpMessages(dialog);
}

void onNextModal(std::function<void(HWND)> inspect) {
    pendingModal = std::move(inspect);
    SetTimer(nullptr, 0, 10, answerModal);
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    std::wstring upper(name);
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    return upper;
}

}  // namespace kv58::win32::test
