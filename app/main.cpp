// KV58: the desktop program. Its settings file is KV58.ini beside it.
#include <QApplication>

#include "base/clock.h"
#include "base/paths.h"
#include "desktop_program.h"
#include "look.h"
#include "pictures.h"
#include "sim/sim_port.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kv58::sim::registerSimPortScheme();
    kv58::app::applyClassicLook(app);
    QApplication::setWindowIcon(kv58::app::programIcon());

    kv58::app::QtUserInterface ui;
    kv58::RealClock clock;
    kv58::app::DesktopProgram program(ui, clock);
    if (!program.start(kv58::programPath())) return program.exitCode();
    return program.run();
}
