// KV58: the desktop program. Its settings file is KV58.ini beside it (or, installed, the first
// of the places settings/settings_location.h names).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <QApplication>

#include "base/clock.h"
#include "base/data_files.h"
#include "base/paths.h"
#include "base/version.h"
#include "desktop_program.h"
#include "look.h"
#include "pictures.h"
#include "settings/settings_location.h"
#include "sim/sim_port.h"

namespace {

// The text of KV58 --help; the manual page KV58(1) is made from it.
constexpr const char* kHelp =
    "Usage: KV58 [--help | --version]\n"
    "\n"
    "The desktop program of the KV58 Configurator: one dialog window that reads the\n"
    "configuration of the KV58 transmitter on the serial port of its settings file as it\n"
    "opens, and writes a new one (Program > set new configuration).\n"
    "\n"
    "Settings file:\n"
    "  KV58.ini beside the program; for an installed program, when there is none beside\n"
    "  it, the first of $XDG_CONFIG_HOME/kv58/KV58.ini (~/.config/kv58/KV58.ini),\n"
    "  /etc/kv58/KV58.ini and the installation's sample share/kv58/KV58.ini. The last\n"
    "  choices go to KV58.lkd beside the settings file used. Password files, PATCH.TXT,\n"
    "  the simulated transmitter's state file and relative backup folders are looked for\n"
    "  in the working folder first, then beside the settings file (and, for an installed\n"
    "  program, in share/kv58). Without a port in the settings file the program asks for\n"
    "  one at start-up.\n"
    "\n"
    "Options:\n"
    "  --help      this text\n"
    "  --version   the version and the commit it was built from\n"
    "\n"
    "Exit codes: 0 after the window was closed, 2 when the settings file could not be\n"
    "loaded, 1 without a display. kv58ctl does the same jobs on the command line.\n";

// --help and --version answer without a window; false when neither was asked for.
bool answeredWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", kv58::versionLine("KV58").c_str());
            return true;
        }
    }
    return false;
}

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
    if (answeredWithoutWindow(argc, argv))
        return 0;
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "KV58: no display to open the window on (DISPLAY is not set).\n"
                     "Run it on a desktop, or use kv58ctl beside it for the same job "
                     "(kv58ctl --help).\n");
        return 1;
    }
    QApplication app(argc, argv);
    // The simulated transmitter's state file is a data file of the settings like any other.
    const kv58::SettingsSearch settings = kv58::findSettingsFile(kv58::programPath());
    const std::string home = kv58::folderForNewFiles(
        settings.path.empty() ? settings.places.front() : settings.path, kv58::programPath());
    kv58::sim::registerSimPortScheme(
        [home](const std::string& name) { return kv58::placeDataFile(name, home); });
    kv58::app::applyClassicLook(app);
    QApplication::setWindowIcon(kv58::app::programIcon());

    kv58::app::QtUserInterface ui;
    kv58::RealClock clock;
    kv58::app::DesktopProgram program(ui, clock);
    if (!program.start(kv58::programPath()))
        return program.exitCode();
    return program.run();
}
