#include "desktop_program.h"

namespace kv58::win32 {

DesktopProgram::DesktopProgram(Win32UserInterface& ui, Clock& clock)
    : ui_(ui), window_(ui), dialog_(ui, window_, clock) {
    ui_.setMainWindow(&window_);
    // Reads, writes and restores feed the information window's progress bar.
    dialog_.link().setProgressObserver(
        [this](long done, long total) { ui_.infoProgress(done, total); });
}

DesktopProgram::~DesktopProgram() {
    window_.detach();  // the dialog goes first
    ui_.setMainWindow(nullptr);
}

void DesktopProgram::bind(const std::string& programPath) {
    window_.attach({&dialog_.model(), [this](int id) { dialog_.onCommand(id); },
                    [this] { return dialog_.title(); }, aboutVersionLine(),
                    [this, programPath] { dialog_.OnInitDialog(programPath); }});
}

int DesktopProgram::run(const std::string& programPath) {
    bind(programPath);
    window_.runModal(nullptr);
    return exitCode();
}

bool DesktopProgram::open(const std::string& programPath) {
    bind(programPath);
    return window_.create(nullptr);
}

int DesktopProgram::exitCode() const {
    if (ui_.quitCode() >= 0)
        return ui_.quitCode();
    return dialog_.settingsFailed() ? 2 : 0;
}

}  // namespace kv58::win32
