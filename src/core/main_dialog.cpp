#include "core/main_dialog.h"

#include "base/paths.h"
#include "base/text.h"
#include "core/dialog_ids.h"
#include "core/dialog_template.h"
#include "device/flows.h"
#include "device/messages.h"
#include "serial/port_list.h"
#include "settings/last_values.h"
#include "settings/settings_location.h"

namespace kv58 {

namespace {

// The ports the port prompt offers where they are not named COMn.
std::vector<std::string> systemPortNames() {
    std::vector<SerialPortInfo> ports;
    std::string error;
    std::vector<std::string> names;
    if (listSerialPorts(ports, error)) {
        for (const SerialPortInfo& port : ports)
            names.push_back(port.name);
    }
    return names;
}

}  // namespace

std::string aboutVersionLine() {
    return "KV58 Configurator   V" + strprintf("%d.%02d.%03d   (Build: %04d)", kVersionMajor,
                                               kVersionMinor, kVersionPatch, kVersionBuild);
}

MainDialog::MainDialog(UserInterface& ui, DialogView& view, Clock& clock)
    : ui_(ui),
      view_(view),
      clock_(clock),
      link_(clock),
      run_(ui, clock),
      model_(ui, view, settings_, data_),
      flows_(std::make_unique<Flows>(settings_, link_, ui, run_, data_, *this, clock)),
      title_(mainDialogTemplate().caption) {}

MainDialog::~MainDialog() = default;

bool MainDialog::OnInitDialog(const std::string& programPath, const SettingsLoadOptions& options) {
    const SettingsSearch search = findSettingsFile(programPath);
    SettingsLoadOptions searched = options;
    searched.placesSearched = search.places;
    return OnInitDialogWithIni(search.path.empty() ? search.places.front() : search.path, searched);
}

bool MainDialog::OnInitDialogWithIni(const std::string& iniPath,
                                     const SettingsLoadOptions& options) {
    model_.showEntries();
    model_.hideStartupControls();
    SettingsLoadOptions withPorts = options;
    if (!withPorts.listPorts)
        withPorts.listPorts = systemPortNames;
    return initialise(LoadSettingsFromFile(settings_, ui_, iniPath, withPorts));
}

bool MainDialog::initialise(bool loaded) {
    if (!loaded) {
        settingsFailed_ = true;
        ui_.messageBox(text::kErrorReadingIni, MsgIcon::Exclamation);
        ui_.requestQuit(2);
        return false;
    }
    run_.setPort(settings_.Port, settings_.InvertDTR);
    const std::string parity = settings_.Parity.substr(0, 1);
    title_ += strprintf("     V%d.%02d.%03d   (%s,%d,%d,%d,%s)", kVersionMajor, kVersionMinor,
                        kVersionPatch, settings_.Port.c_str(), settings_.Baud, settings_.DataBit,
                        settings_.StopBit, parity.c_str());
    view_.refresh();
    if (!flows_->ReadDataKV58(false)) {
        ui_.messageBox(text::kErrorReadingData, MsgIcon::Exclamation);
        return false;
    }
    return true;
}

void MainDialog::readCommand() {
    if (!flows_->ReadDataKV58(false))
        ui_.messageBox(text::kErrorReadingData, MsgIcon::Exclamation);
}

void MainDialog::writeCommand() {
    model_.takeEntries();
    // The last values are a convenience; a file that cannot be written never stops a write.
    static_cast<void>(SaveLastValues(settings_.LastValuePath, model_.lastValues()));
    flows_->WriteDataKV58();
    model_.setWriteProgram(false);
}

void MainDialog::onCommand(int id) {
    switch (id) {
        case ids::kMenuRead:
            view_.post(ids::kReadNow);
            break;
        case ids::kReadNow:
            readCommand();
            break;
        case ids::kMenuWrite:
            view_.post(ids::kWriteNow);
            break;
        case ids::kWriteNow:
            writeCommand();
            break;
        case ids::kMenuRun:
            run_.ToggleRun();
            break;
        case ids::kMenuContact:
            view_.showContact();
            break;
        case ids::kMenuAbout:
            view_.post(ids::kSysAbout);
            break;
        case ids::kSysAbout:
            view_.showAbout();
            break;
        case ids::kIdOk:
            if (model_.enterPressed())
                view_.endDialog(ids::kIdOk);
            break;
        case ids::kMenuExit:
        case ids::kIdCancel:
            view_.endDialog(ids::kIdCancel);
            break;
        default:
            break;
    }
}

}  // namespace kv58
