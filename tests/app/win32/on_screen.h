// Helpers for tests that put windows on the screen: whether there is a display, running the
// queued messages as a dialog's message loop would, keys through the dialog manager, and
// answering the modal dialog that opens next.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

namespace kv58::win32::test {

// True when the system can create windows (under Wine: an X display).
bool displayAvailable();

#define KV58_SKIP_WITHOUT_DISPLAY()                                              \
    do {                                                                         \
        if (!::kv58::win32::test::displayAvailable())                            \
            GTEST_SKIP() << "no display: the system cannot create windows here"; \
    } while (false)

// Runs every queued message; keys for `dialog` go through its dialog manager first.
void pumpMessages(HWND dialog);

// A key as the user presses it in `dialog`: WM_KEYDOWN (or WM_SYSCHAR for Alt+letter) to the
// focused control, through the dialog manager, then the messages it queued.
void pressKey(HWND dialog, WPARAM virtualKey);
void pressAltLetter(HWND dialog, wchar_t letter);

// Calls `inspect` with the modal dialog that opens next (found when the modal loop runs),
// then ends it as its OK button would.
void onNextModal(std::function<void(HWND)> inspect);

// The class name of a window, in capitals ("BUTTON", "STATIC", ...).
std::wstring className(HWND window);

}  // namespace kv58::win32::test
