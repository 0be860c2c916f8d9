#include "link_session.h"

#include <cstdio>

#include "base/text.h"
#include "console_ui.h"
#include "core/main_dialog.h"
#include "device/link_settings.h"
#include "device_command.h"
#include "diagnostics.h"

namespace kv58::cli {

LinkSession::LinkSession(const Context& ctx, Clock& clock)
    : ctx_(ctx), link_(clock), log_(programNameAndVersion()) {
    // The command holds its port from its first operation to its last.
    link_.transport().holdPortForRun();
    keepJsonOutputClean(ctx, link_);
    if (ctx.trace) {
        trace_ = std::make_unique<TraceFormatter>([](const std::string& line) {
            std::fprintf(stderr, "trace %s\n", cp1252ToUtf8(line).c_str());
        });
        link_.addTraceObserver(trace_.get());
    }
}

LinkSession::~LinkSession() {
    if (trace_)
        link_.removeTraceObserver(trace_.get());
}

bool LinkSession::loadSettings() {
    SettingsLoadFailure failure;
    if (!LoadSettingsFromFile(settings_, *ctx_.ui, ctx_.iniPath,
                              settingsLoadOptions(ctx_, failure))) {
        printError("kv58ctl: ERROR reading INI-File!\n");
        reportSettingsFailure(failure);
        return false;
    }
    applyPortSettings(link_, settings_);
    return true;
}

}  // namespace kv58::cli

namespace kv58::cli {

int LinkSession::start() {
    if (!loadSettings())
        return kExitSettings;
    std::string error;
    if (!log_.open(settings_.LogFile, error)) {
        printError("kv58ctl: %s; no device operation was started\n", error.c_str());
        return kExitFailure;
    }
    startUs_ = link_.clock().nowUs();
    return kExitOk;
}

int LinkSession::finish(LogRecord record, int code) {
    record.port = settings_.Port;
    record.exitCode = code;
    record.durationMs = (link_.clock().nowUs() - startUs_) / 1000;
    std::string error;
    if (log_.append(std::move(record), error))
        return code;
    printError("kv58ctl: %s\n", error.c_str());
    return code == kExitOk ? kExitFailure : code;
}

}  // namespace kv58::cli
