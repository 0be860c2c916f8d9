// The whole application behind kv58ctl's transmitter commands: the main dialog without a
// window, with the terminal as its user interface. Commands drive it exactly as a user drives
// the desktop program: select list items, type into fields, choose menu commands.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "base/clock.h"
#include "bsl/link_trace.h"
#include "command.h"
#include "core/dialog_model.h"
#include "core/main_dialog.h"
#include "device/outcome.h"
#include "device/outcomes.h"

namespace kv58::cli {

class AppSession final : public DialogView {
public:
    explicit AppSession(Context& ctx, Clock& clock = realClock());
    ~AppSession() override;

    // Loads the settings and reads the transmitter (the dialog's start-up). Returns
    // kExitOk, kExitSettings (reported on stderr with file, section and key), kExitFailure
    // when the transmitter could not be read, or kExitDamaged when its loader refused every
    // password (its state is unknown). A read that found a damaged segment returns kExitOk;
    // Flows::lastReadDamage() tells.
    int start();

    // A menu or posted command, with the commands it posts delivered at once.
    void command(int id);

    // The exit code of a command that ends with `code`: a failure when the production log
    // did not take an operation's line (the message has been shown), `code` otherwise.
    int finish(int code) const;
    // The end of a write or a restore that `report` describes and that left `left`: on failure
    // its outcome with the way back; on success its line and the configuration read back
    // (with the outcome's keys under --json). Returns the exit code.
    int finishWrite(const OutcomeReport& report, const Outcome& left);

    MainDialog& dialog() { return *dialog_; }
    DialogModel& model() { return dialog_->model(); }

private:
    // DialogView: there is no window; posted commands run after the current one.
    void refresh() override {}
    void post(int commandId) override { posted_.push_back(commandId); }
    void endDialog(int) override {}
    void showAbout() override;
    void showContact() override {}

    Context& ctx_;
    std::unique_ptr<MainDialog> dialog_;
    std::unique_ptr<TraceObserver> trace_;
    std::deque<int> posted_;
    SettingsLoadFailure failure_;
};

}  // namespace kv58::cli
