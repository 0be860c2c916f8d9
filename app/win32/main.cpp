// KV58.exe: the desktop program on Windows. Its settings file is KV58.ini beside it.
#include <windows.h>

#include "base/clock.h"
#include "base/paths.h"
#include "desktop_program.h"
#include "sim/sim_port.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kv58::sim::registerSimPortScheme();

    kv58::win32::Win32UserInterface ui;
    kv58::RealClock clock;
    kv58::win32::DesktopProgram program(ui, clock);
    return program.run(kv58::programPath());
}
