#include "link_session.h"

#include <cstdio>

#include "base/text.h"
#include "console_ui.h"
#include "device/link_settings.h"

namespace kv58::cli {

LinkSession::LinkSession(const Context& ctx, Clock& clock) : ctx_(ctx), link_(clock) {
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
        std::fprintf(stderr, "kv58ctl: ERROR reading INI-File!\n");
        reportSettingsFailure(failure);
        return false;
    }
    applyPortSettings(link_, settings_);
    return true;
}

}  // namespace kv58::cli
