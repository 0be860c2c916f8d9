#include "desktop_program.h"

#include <QApplication>

namespace kv58::app {

DesktopProgram::DesktopProgram(QtUserInterface& ui, Clock& clock)
    : ui_(ui), window_(ui), dialog_(ui, window_, clock) {
    ui_.setMainWindow(&window_);
    // Reads, writes and restores feed the information window's progress bar.
    dialog_.link().setProgressObserver(
        [this](long done, long total) { ui_.infoProgress(done, total); });
    window_.attach({&dialog_.model(), [this](int id) { dialog_.onCommand(id); },
                    [this] { return dialog_.title(); }, aboutVersionLine()});
}

DesktopProgram::~DesktopProgram() {
    window_.detach();  // the dialog goes first
    ui_.setMainWindow(nullptr);
}

bool DesktopProgram::start(const std::string& programPath) {
    dialog_.OnInitDialog(programPath);
    window_.refresh();
    return !dialog_.settingsFailed() && ui_.quitCode() < 0;
}

int DesktopProgram::exitCode() const {
    if (ui_.quitCode() >= 0)
        return ui_.quitCode();
    return dialog_.settingsFailed() ? 2 : 0;
}

int DesktopProgram::run() {
    QObject::connect(&window_, &QDialog::finished, &window_,
                     [this] { QCoreApplication::exit(exitCode()); });
    window_.show();
    return QApplication::exec();
}

}  // namespace kv58::app
