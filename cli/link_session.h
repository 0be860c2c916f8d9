// The link of a kv58ctl command that talks to a transmitter: port settings from the settings
// file (or --port), and with --trace every byte on the link, with its time, on stderr.
#pragma once

#include <memory>

#include "base/clock.h"
#include "bsl/bsl_link.h"
#include "command.h"
#include "device/production_log.h"
#include "settings/settings.h"

namespace kv58::cli {

class LinkSession {
public:
    explicit LinkSession(const Context& ctx, Clock& clock = realClock());
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Loads the settings file as the desktop program does (--port overrides its port, --log
    // its production log), hands the port settings to the link and opens the production log.
    // kExitOk, kExitSettings, or kExitFailure when the log cannot be written (reported on
    // stderr; no device operation may start then).
    int start();

    // Appends the operation's line to the production log, with the port and the time since
    // start() filled in, and returns the command's exit code: `code`, or kExitFailure when the
    // log did not take the line (reported on stderr).
    int finish(LogRecord record, int code);

    BslLink& link() { return link_; }
    const Settings& settings() const { return settings_; }

private:
    // False after reporting the failure on stderr.
    bool loadSettings();

    const Context& ctx_;
    BslLink link_;
    Settings settings_;
    std::unique_ptr<TraceObserver> trace_;
    ProductionLog log_;
    int64_t startUs_ = 0;
};

}  // namespace kv58::cli
