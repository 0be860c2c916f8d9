// The link of a kv58ctl command that talks to a transmitter: port settings from the settings
// file (or --port), and with --trace every byte on the link, with its time, on stderr.
#pragma once

#include <memory>

#include "base/clock.h"
#include "bsl/bsl_link.h"
#include "command.h"
#include "settings/settings.h"

namespace kv58::cli {

class LinkSession {
public:
    explicit LinkSession(const Context& ctx, Clock& clock = realClock());
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Loads the settings file as the desktop program does (--port overrides its port) and
    // hands the port settings to the link. False after reporting the failure on stderr; the
    // command then ends with kExitSettings.
    bool loadSettings();

    BslLink& link() { return link_; }
    const Settings& settings() const { return settings_; }

private:
    const Context& ctx_;
    BslLink link_;
    Settings settings_;
    std::unique_ptr<TraceObserver> trace_;
};

}  // namespace kv58::cli
