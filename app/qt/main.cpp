// KV58: the desktop program. Its settings file is KV58.ini beside it.
#include <cstdio>
#include <cstdlib>
#include <QApplication>

#include "base/clock.h"
#include "base/paths.h"
#include "desktop_program.h"
#include "look.h"
#include "pictures.h"
#include "sim/sim_port.h"

namespace {

// On X11 and Wayland desktops a window needs a display; without one Qt would abort.
bool haveDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "KV58: no display to open the window on (DISPLAY is not set).\n"
                     "Run it on a desktop, or use kv58ctl beside it for the same job "
                     "(kv58ctl --help).\n");
        return 1;
    }
    QApplication app(argc, argv);
    kv58::sim::registerSimPortScheme();
    kv58::app::applyClassicLook(app);
    QApplication::setWindowIcon(kv58::app::programIcon());

    kv58::app::QtUserInterface ui;
    kv58::RealClock clock;
    kv58::app::DesktopProgram program(ui, clock);
    if (!program.start(kv58::programPath()))
        return program.exitCode();
    return program.run();
}
