#include "app_session.h"

#include <cstdio>

#include "base/text.h"
#include "console_ui.h"
#include "device/flows.h"
#include "device_command.h"
#include "outcome_output.h"
#include "settings/settings.h"

namespace kv58::cli {

AppSession::AppSession(Context& ctx, Clock& clock)
    : ctx_(ctx), dialog_(std::make_unique<MainDialog>(*ctx.ui, *this, clock)) {
    dialog_->flows().wayBackProgram = wayBackProgram(ctx);
    // Run from anywhere: the loader patch beside the settings file, as the installation has it.
    BslLink& link = dialog_->link();
    link.setPatchFile(findDataFile(link.patchFile(), ctx.iniPath));
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

SettingsLoadOptions AppSession::loadOptions() {
    SettingsLoadOptions options;
    options.port = ctx_.port;
    options.logFile = ctx_.logFile;
    options.failure = &failure_;
    return options;
}

int AppSession::reportSettingsFailure() const {
    std::fprintf(stderr, "kv58ctl: %s: [%s] %s: %s\n", failure_.file.c_str(),
                 failure_.section.c_str(), failure_.key.c_str(),
                 cp1252ToUtf8(failure_.reason).c_str());
    return kExitSettings;
}

int AppSession::start() {
    if (dialog_->OnInitDialogWithIni(ctx_.iniPath, loadOptions()))
        return kExitOk;
    if (dialog_->settingsFailed())
        return reportSettingsFailure();
    if (!dialog_->logFailure().empty())
        return kExitFailure;  // the message has been shown; nothing was started
    reportReadFailure();
    // A loader that refuses every password leaves the transmitter's state unknown.
    return dialog_->flows().lastReadDamage() ? kExitDamaged : kExitFailure;
}

// The dialog's own messages say only that reading failed; a terminal user also wants the
// port's reason and the password files that could not be opened.
void AppSession::reportReadFailure() const {
    const std::string& portError = dialog_->link().transport().lastError();
    if (!portError.empty())
        std::fprintf(stderr, "kv58ctl: %s\n", portError.c_str());
    printUnreadablePasswordFiles(dialog_->settings().passwordFileNames());
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

void AppSession::showAbout() {
    std::printf("%s\n", aboutVersionLine().c_str());
}

}  // namespace kv58::cli
