// The main dialog: the whole application without its window.
//
// It owns the settings, the link, the transmitter data, the RUN control and the dialog
// model, runs the start-up (OnInitDialog) and handles every command of the menu. The desktop
// program draws it; kv58ctl and the tests drive it directly.
#pragma once

#include <memory>
#include <string>

#include "base/clock.h"
#include "base/user_interface.h"
#include "base/version.h"
#include "bsl/bsl_link.h"
#include "core/dialog_model.h"
#include "device/flow_host.h"
#include "device/production_log.h"
#include "device/run_control.h"
#include "device/transmitter_data.h"
#include "settings/settings.h"

namespace kv58 {

class Flows;

// "KV58 Configurator   V2.08.000   (Build: 0046)" for the About dialog.
std::string aboutVersionLine();

class MainDialog final : public FlowHost {
public:
    MainDialog(UserInterface& ui, DialogView& view, Clock& clock);
    ~MainDialog() override;

    // The dialog's initialisation: hidden controls, settings, title, first read. Returns
    // false when the settings could not be loaded (the program then ends with exit code 2,
    // asked for through UserInterface::requestQuit) or when the first read failed (the dialog
    // stays open). `settingsFailed()` tells the two apart.
    bool OnInitDialog(const std::string& programPath, const SettingsLoadOptions& options = {});
    // The same with an explicit settings file (kv58ctl --ini).
    bool OnInitDialogWithIni(const std::string& iniPath, const SettingsLoadOptions& options = {});
    bool settingsFailed() const { return settingsFailed_; }
    // Why no device operation may start: the production log of the settings cannot be
    // written (shown to the user as well). Empty while operations may start.
    const std::string& logFailure() const { return logFailure_; }

    // Template caption plus version and port settings.
    const std::string& title() const { return title_; }

    // A menu command, a posted command (1031 read, 1043 write, 0x10 about), Enter (1) or
    // close (2).
    void onCommand(int id);

    DialogModel& model() { return model_; }
    const Settings& settings() const { return settings_; }
    TransmitterData& data() { return data_; }
    BslLink& link() { return link_; }
    RunControl& run() { return run_; }
    Flows& flows() { return *flows_; }
    // Whether a device operation may start: false (and shown) when the production log of
    // the settings cannot be written.
    [[nodiscard]] bool logAllowsOperation();
    // Appends an operation's line to the production log; a failure is shown, and no further
    // operation starts.
    void logOperation(const LogRecord& record);

    // FlowHost.
    void showActualConfiguration() override { model_.ShowActualConfiguration(); }
    void fillTransmitterTypes() override { model_.FillTransmitterTypes(); }
    void showWriteProgram(bool on) override { model_.setWriteProgram(on); }
    void takeEntries() override { model_.takeEntries(); }
    void checkTemperatureRange() override { model_.CheckTemperatureRange(); }
    int32_t buildConfigWord() override { return model_.buildConfigWord(); }
    bool relayChosen() override { return model_.relayChosenByProductCode(); }
    int32_t newTMin() override { return model_.tMin(); }
    int32_t newTMax() override { return model_.tMax(); }

private:
    bool initialise(bool loaded);
    void readCommand();
    void writeCommand();
    [[nodiscard]] bool readAndLog();

    UserInterface& ui_;
    DialogView& view_;
    Clock& clock_;
    Settings settings_;
    TransmitterData data_;
    BslLink link_;
    RunControl run_;
    DialogModel model_;
    std::unique_ptr<Flows> flows_;
    std::string title_;
    bool settingsFailed_ = false;
    ProductionLog log_;
    std::string logFailure_;
};

// "KV58 2.08.000": the running program's name and version, as the production log names it.
std::string programNameAndVersion();

}  // namespace kv58
