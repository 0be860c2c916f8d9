// kv58ctl probe: is there a device with a boot loader on the port?
#include <cstdio>

#include "bsl/link_result.h"
#include "command.h"
#include "device/production_log.h"
#include "diagnostics.h"
#include "json_text.h"
#include "link_session.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "probe", "check that a boot loader answers on the port, changing nothing",
    "Usage: kv58ctl probe\n"
    "\n"
    "Opens the port of the settings file (or --port), starts the boot loader with the\n"
    "DTR/RTS sequence, synchronises with it, restarts the device's own program and closes\n"
    "the port. No password and no command are sent, so nothing in the device changes.\n"
    "Exit code 0 when the loader answered, 1 when not (with the reason on stderr).\n"
    "With --trace every byte and line change is shown with its time. With --json the answer\n"
    "is {\"ok\": true, \"port\": ..., \"line\": ...}.\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

int run(Context& ctx) {
    if (!ctx.args.empty())
        return usageError(kCommand, "unexpected argument " + ctx.args[0]);
    LinkSession session(ctx);
    if (const int code = session.start(); code != kExitOk)
        return code;
    BslLink& link = session.link();
    LogRecord record;
    record.operation = "probe";
    record.attempts = 1;
    if (failed(link.openPort())) {
        record.outcome = "port not opened: " + link.transport().lastError();
        const int code = session.finish(record, kExitFailure);
        printError("kv58ctl: ERROR: Opening COM-Port failed!\nkv58ctl: %s\n",
                   link.transport().lastError().c_str());
        return code;
    }
    FrameTransport& transport = link.transport();
    transport.enterBootstrapLoader(true);
    const LinkResult rc = transport.synchronize();
    transport.enterBootstrapLoader(false);
    static_cast<void>(transport.closePort());  // the answer is in; nothing more to send
    record.outcome = failed(rc) ? "no answer: " + linkMessage(rc, false, "") : "loader answers";
    const int code = session.finish(record, failed(rc) ? kExitFailure : kExitOk);
    if (failed(rc)) {
        printError("kv58ctl: %s\n", linkMessage(rc, false, "").c_str());
        return code;
    }
    if (ctx.json) {
        std::printf("{\"ok\": true, \"port\": %s, \"line\": %s}\n",
                    jsonString(link.portName()).c_str(),
                    jsonString(describe(link.lineSettings())).c_str());
    } else {
        std::printf("Boot loader answers on %s (%s).\n", link.portName().c_str(),
                    describe(link.lineSettings()).c_str());
    }
    return code;
}

}  // namespace

}  // namespace kv58::cli
