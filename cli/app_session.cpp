#include "app_session.h"

#include <cstdio>

#include "base/text.h"
#include "config_output.h"
#include "console_ui.h"
#include "device/flows.h"
#include "device_command.h"
#include "diagnostics.h"
#include "outcome_output.h"
#include "settings/settings.h"

namespace kv58::cli {

AppSession::AppSession(Context& ctx, Clock& clock)
    : ctx_(ctx), dialog_(std::make_unique<MainDialog>(*ctx.ui, *this, clock)) {
    dialog_->flows().wayBackProgram = wayBackProgram(ctx);
    // The command holds its port from its first read to its last operation.
    dialog_->link().transport().holdPortForRun();
    keepJsonOutputClean(ctx, dialog_->link());
    if (ctx.trace) {
        trace_ = std::make_unique<TraceFormatter>([](const std::string& line) {
            std::fprintf(stderr, "trace %s\n", cp1252ToUtf8(line).c_str());
        });
        dialog_->link().addTraceObserver(trace_.get());
    }
}

AppSession::~AppSession() {
    if (trace_)
        dialog_->link().removeTraceObserver(trace_.get());
}

int AppSession::start() {
    if (dialog_->OnInitDialogWithIni(ctx_.iniPath, settingsLoadOptions(ctx_, failure_)))
        return kExitOk;
    if (dialog_->settingsFailed())
        return reportSettingsFailure(failure_);
    if (!dialog_->logFailure().empty())
        return kExitFailure;  // the message has been shown; nothing was started
    // The dialog has said why, after its own messages. A loader that refuses every password leaves
    // the transmitter's state unknown.
    return dialog_->flows().lastReadDamage() ? kExitDamaged : kExitFailure;
}

void AppSession::command(int id) {
    dialog_->onCommand(id);
    while (!posted_.empty()) {
        const int next = posted_.front();
        posted_.pop_front();
        dialog_->onCommand(next);
    }
}

int AppSession::finish(int code) const {
    return code == kExitOk && !dialog_->logFailure().empty() ? kExitFailure : code;
}

int AppSession::finishWrite(const OutcomeReport& report, const Outcome& left) {
    if (report.exitCode != kExitOk)
        return reportOutcome(ctx_, report.text, left, true);
    std::fprintf(stderr, "kv58ctl: %s\n", report.text);
    printConfiguration(model(), dialog_->data().actual.nBitMaske, ctx_.json,
                       outcomeJson(ctx_, left));
    return finish(kExitOk);
}

void AppSession::showAbout() {
    std::printf("%s\n", aboutVersionLine().c_str());
}

}  // namespace kv58::cli
