// kv58ctl run on|off: RUN as the menu command switches it.
#include <cstdio>

#include "base/clock.h"
#include "command.h"
#include "console_ui.h"
#include "device/run_control.h"
#include "diagnostics.h"
#include "interrupt_wait.h"
#include "settings/settings.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "run", "let the transmitter run its program (RUN on), or hold it in reset",
    "Usage: kv58ctl run on|off\n"
    "\n"
    "on   opens the port and raises DTR, so that the transmitter runs its own program, and\n"
    "     holds the port until interrupted (Ctrl-C); nothing else can use the port meanwhile.\n"
    "off  RUN ends with the program that holds the port. 'off' opens the port and closes it\n"
    "     again with DTR dropped, which holds the transmitter in reset.\n",
    run};
const CommandRegistrar kRegistrar(kCommand);

int cannotOpen(const Settings& settings, const RunControl& runControl) {
    printError("kv58ctl: cannot open port %s: %s\n", settings.Port.c_str(),
               runControl.openError().c_str());
    return kExitFailure;
}

int run(Context& ctx) {
    if (ctx.args.size() != 1 || (ctx.args[0] != "on" && ctx.args[0] != "off"))
        return usageError(kCommand, "expected on or off");
    Settings settings;
    SettingsLoadFailure failure;
    if (!LoadSettingsFromFile(settings, *ctx.ui, ctx.iniPath, settingsLoadOptions(ctx, failure)))
        return reportSettingsFailure(failure);
    RunControl runControl(*ctx.ui, realClock());
    runControl.setPort(settings.Port, settings.InvertDTR);
    if (ctx.args[0] == "off") {
        if (runControl.holdInReset())
            return kExitOk;
        return cannotOpen(settings, runControl);
    }
    InterruptWait interrupt;
    runControl.ToggleRun();
    if (!runControl.isOn())
        return cannotOpen(settings, runControl);
    std::fprintf(stderr, "kv58ctl: holding %s with DTR raised; Ctrl-C ends RUN\n",
                 settings.Port.c_str());
    interrupt.wait();
    runControl.ToggleRun();
    return kExitOk;
}

}  // namespace

}  // namespace kv58::cli
