// The desktop program on Windows: the main dialog's rules (MainDialog) in the main window,
// with the Win32 UserInterface. WinMain runs it; the tests open it without a modal loop.
#pragma once

#include <string>

#include "base/clock.h"
#include "core/main_dialog.h"
#include "main_window.h"
#include "win32_user_interface.h"

namespace kv58::win32 {

class DesktopProgram {
public:
    DesktopProgram(Win32UserInterface& ui, Clock& clock);
    ~DesktopProgram();

    // Runs the main dialog modally: its initialisation (settings from the file beside
    // `programPath`, title, first read) as it opens, then commands until it ends. Returns the
    // exit code.
    int run(const std::string& programPath);
    // The same window modeless, for tests: initialised when this returns; false when the
    // system could not create it.
    bool open(const std::string& programPath);

    // What a quit request asked for, 2 after a settings failure, else 0.
    int exitCode() const;

    MainWindow& window() { return window_; }
    MainDialog& dialog() { return dialog_; }

private:
    void bind(const std::string& programPath);

    Win32UserInterface& ui_;
    MainWindow window_;
    MainDialog dialog_;
};

}  // namespace kv58::win32
