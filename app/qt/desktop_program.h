// The desktop program as a whole: the main dialog's rules (MainDialog) drawn by the main
// window, with the desktop's UserInterface. main() runs it; the widget tests drive it.
#pragma once

#include <string>

#include "base/clock.h"
#include "core/main_dialog.h"
#include "main_window.h"
#include "qt_user_interface.h"

namespace kv58::app {

class DesktopProgram {
public:
    DesktopProgram(QtUserInterface& ui, Clock& clock);
    ~DesktopProgram();

    // The dialog's initialisation: settings (the file beside `programPath`), title, first read
    // of the transmitter. False when the program is to end at once (the settings could not be
    // loaded); exitCode() then tells with what.
    bool start(const std::string& programPath);

    // Shows the window and runs until the dialog ends; returns the exit code.
    int run();

    // 2 after a settings failure (or what a quit request asked for), else 0.
    int exitCode() const;

    MainWindow& window() { return window_; }
    MainDialog& dialog() { return dialog_; }

private:
    QtUserInterface& ui_;
    MainWindow window_;
    MainDialog dialog_;
};

}  // namespace kv58::app
