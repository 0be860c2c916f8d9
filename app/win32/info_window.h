// The information window (template 131): modeless, without buttons, one line of progress text
// and the common controls' progress bar below it. The caller blocks the thread while the
// window is open, so every change is painted at once instead of waiting for the message loop.
#pragma once

#include <string>

#include "dialog_window.h"

namespace kv58::win32 {

class InfoWindow final : public DialogWindow {
public:
    InfoWindow();

    // Creates the window over `over` (or the middle of the screen), centred, shown without
    // taking the activation; false when the system could not create it.
    bool open(HWND over);
    // Replaces the text.
    void setText(const std::string& text);
    // Bytes done of bytes planned; 0 of 0 hides the bar.
    void setProgress(long done, long total);

    HWND text() const;
    HWND bar() const { return bar_; }

protected:
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void createBar();
    void centreOver(HWND over);
    void paintNow();

    HWND bar_ = nullptr;
    int barStep_ = -1;  // shown position, in tenths of a percent; -1 while hidden
};

}  // namespace kv58::win32
