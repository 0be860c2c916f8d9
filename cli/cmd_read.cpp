// kv58ctl read: reads the transmitter as "&read configuration" does and prints what the
// dialog shows.
#include "app_session.h"
#include "command.h"
#include "config_output.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

extern const Command kCommand;

int run(Context& ctx) {
    if (!ctx.args.empty())
        return usageError(kCommand, "unexpected argument " + ctx.args[0]);
    AppSession session(ctx);
    if (const int code = session.start(); code != kExitOk)
        return code;
    printConfiguration(session.model(), session.dialog().data().actual.nBitMaske, ctx.json);
    return session.finish(kExitOk);
}

const Command kCommand{
    "read", "read the transmitter and print its configuration",
    "Usage: kv58ctl read\n"
    "\n"
    "Reads the transmitter (program flash, Segment A and Segment B, with the attempts of the\n"
    "settings file) and prints its configuration as the main dialog shows it: type, software\n"
    "version, serial number, output signal, T unit, T min, T max, display reading, alarm\n"
    "relay, factory calibration, and the configuration word in hex. With --json one object\n"
    "with the keys type, version, serial, output, unit, tmin, tmax, display, alarmRelay,\n"
    "factoryCalibration and word. Exits with 1 when the transmitter cannot be read.\n",
    run};
const CommandRegistrar kRegistrar(kCommand);

}  // namespace

}  // namespace kv58::cli
