// kv58ctl read: reads the transmitter as "&read configuration" does and prints what the
// dialog shows.
#include <cstdio>

#include "app_session.h"
#include "base/text.h"
#include "command.h"
#include "config_output.h"
#include "device/flows.h"
#include "device/segment_state.h"
#include "diagnostics.h"
#include "json_text.h"
#include "outcome_output.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

extern const Command kCommand;

int run(Context& ctx) {
    if (!ctx.args.empty())
        return usageError(kCommand, "unexpected argument " + ctx.args[0]);
    AppSession session(ctx);
    const Flows& flows = session.dialog().flows();
    if (const int code = session.start(); code != kExitOk) {
        if (code == kExitDamaged)
            reportOutcome(ctx, "the transmitter could not be read", *flows.lastReadDamage(), true);
        return code;
    }
    const TransmitterData& data = session.dialog().data();
    const SegmentState a = classifySegmentA(data.segmentARead);
    const SegmentState b = classifySegmentB(data.segmentBRead);
    std::string extra = strprintf("\"segmentA\": \"%s\", \"segmentB\": \"%s\"", segmentStateName(a),
                                  segmentStateName(b));
    if (const std::optional<Outcome>& damage = flows.lastReadDamage()) {
        const std::string error =
            std::string("the transmitter was read; ") + stateSummary(damage->state);
        extra +=
            ", \"ok\": false, \"error\": " + jsonString(error) + ", " + outcomeJson(ctx, *damage);
        markJsonResultPrinted();
    }
    // A configuration decoded from a Segment A that is not the transmitter's own is invented.
    if (ctx.json || a == SegmentState::Intact)
        printConfiguration(session.model(), data.actual.nBitMaske, ctx.json, extra);
    if (!ctx.json && (a != SegmentState::Intact || b != SegmentState::Intact)) {
        std::printf("%-20s %s\n%-20s %s\n", "Segment A:", segmentStateName(a),
                    "Segment B:", segmentStateName(b));
    }
    if (!flows.lastReadDamage())
        return session.finish(kExitOk);
    return session.finish(
        reportOutcome(ctx, "the transmitter was read", *flows.lastReadDamage(), false));
}

const Command kCommand{
    "read", "read the transmitter and print its configuration",
    "Usage: kv58ctl read\n"
    "\n"
    "Reads the transmitter (program flash, Segment A and Segment B, with the attempts of the\n"
    "settings file) and prints its configuration as the main dialog shows it: type, software\n"
    "version, serial number, output signal, T unit, T min, T max, display reading, alarm\n"
    "relay, factory calibration, and the configuration word in hex. With --json one object\n"
    "with the keys type, version, serial, output, unit, tmin, tmax, display, alarmRelay and\n"
    "factoryCalibration (booleans), word, segmentA (intact, erased or implausible) and\n"
    "segmentB (intact or erased).\n"
    "\n"
    "A Segment A that is erased, or whose software version or serial number holds what no\n"
    "transmitter writes there, is not decoded into a configuration: the command says what\n"
    "is damaged and how to put it back (the newest backup entry whose Segment B is the\n"
    "transmitter's, as a kv58ctl backup restore command), and exits with 3; so does an\n"
    "erased Segment B, and a loader that refuses the password of every password file (its\n"
    "flash may have been erased by a programming run that was cut off). With --json the\n"
    "object then also holds ok (false), error, outcome and wayBack. Exits with 1 when the\n"
    "transmitter cannot be read, after the cause (the port's reason, the synchronisation\n"
    "message, a password file not found and the folders searched).\n",
    run};
const CommandRegistrar kRegistrar(kCommand);

}  // namespace

}  // namespace kv58::cli
