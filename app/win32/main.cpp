// KV58.exe: the desktop program on Windows. Its settings file is KV58.ini beside it.
#include <windows.h>

#include "base/clock.h"
#include "base/data_files.h"
#include "base/paths.h"
#include "desktop_program.h"
#include "sim/sim_port.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The simulated transmitter's state file is a data file of the settings like any other:
    // the working folder first, then beside the settings file (beside the program).
    kv58::sim::registerSimPortScheme(
        [home = kv58::dirName(kv58::programPath())](const std::string& name) {
            return kv58::placeDataFile(name, home);
        });

    kv58::win32::Win32UserInterface ui;
    kv58::RealClock clock;
    kv58::win32::DesktopProgram program(ui, clock);
    return program.run(kv58::programPath());
}
