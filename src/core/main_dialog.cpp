#include "core/main_dialog.h"

#include "base/paths.h"
#include "base/text.h"
#include "core/dialog_ids.h"
#include "core/dialog_template.h"
#include "device/backup_reader.h"
#include "device/flows.h"
#include "device/messages.h"
#include "device/outcomes.h"
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

std::string programNameAndVersion() {
    std::string name = baseName(programPath());
    if (name.size() > 4 && equalsIgnoreCase(name.substr(name.size() - 4), ".exe"))
        name.resize(name.size() - 4);
    return strprintf("%s %d.%02d.%03d", name.empty() ? "KV58" : name.c_str(), kVersionMajor,
                     kVersionMinor, kVersionPatch);
}

namespace {

// The number of entries in a backup file (the index of the newest); 0 when it cannot be read.
int backupEntryCount(const std::string& windowsPath) {
    std::vector<BackupEntry> entries;
    std::string error;
    if (!readBackupFile(fileSystemPath(windowsPath), entries, error))
        return 0;
    return static_cast<int>(entries.size());
}

// The outcome of a write as the log records it, with what the transmitter then held where a
// reread showed it.
void describeWrite(LogRecord& record, const Flows& flows, const TransmitterData& data,
                   char degreeSign) {
    const WriteOutcome outcome = flows.lastWriteOutcome();
    const OutcomeReport report = describeOutcome(outcome, flows.lastOutcome().state);
    record.outcome = report.text;
    record.exitCode = report.exitCode;
    record.attempts = flows.lastWriteAttempts();
    const bool reread = outcome == WriteOutcome::Confirmed || outcome == WriteOutcome::Mismatch ||
                        outcome == WriteOutcome::RestoreFailed ||
                        outcome == WriteOutcome::ProgramUnchecked;
    if (reread)
        record.after = loggedConfiguration(data.actual, degreeSign);
    record.backupFile = cp1252ToUtf8(nativePath(flows.lastBackupFile()));
    if (!flows.lastBackupFile().empty())
        record.backupEntry = backupEntryCount(flows.lastBackupFile());
}

}  // namespace

MainDialog::MainDialog(UserInterface& ui, DialogView& view, Clock& clock)
    : ui_(ui),
      view_(view),
      clock_(clock),
      link_(clock),
      run_(ui, clock),
      model_(ui, view, settings_, data_),
      flows_(std::make_unique<Flows>(settings_, link_, ui, run_, data_, *this, clock)),
      title_(mainDialogTemplate().caption),
      log_(programNameAndVersion()) {}

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
    std::string error;
    if (!log_.open(settings_.LogFile, error)) {
        logFailure_ = error + "; no device operation was started";
        ui_.messageBox(utf8ToCp1252(logFailure_), MsgIcon::Exclamation);
        return false;
    }
    if (!readAndLog()) {
        ui_.messageBox(text::kErrorReadingData, MsgIcon::Exclamation);
        flows_->showReadFailureCause();
        return false;
    }
    return true;
}

bool MainDialog::logAllowsOperation() {
    std::string error;
    if (log_.ready(error))
        return true;
    logFailure_ = error + "; no device operation was started";
    ui_.messageBox(utf8ToCp1252(logFailure_), MsgIcon::Exclamation);
    return false;
}

void MainDialog::logOperation(const LogRecord& record) {
    std::string error;
    if (!log_.append(record, error)) {
        logFailure_ = error;
        ui_.messageBox(utf8ToCp1252(error), MsgIcon::Exclamation);
    }
}

// ReadDataKV58, with its line in the production log written before its outcome is shown.
bool MainDialog::readAndLog() {
    const PortHoldScope hold(link_.transport());
    const int64_t startMs = clock_.nowMs();
    const bool ok = flows_->ReadDataKV58(false);
    LogRecord record;
    record.operation = "read";
    record.port = settings_.Port;
    const OutcomeReport report = describeReadOutcome(ok, flows_->lastReadDamage());
    record.outcome = report.text;
    record.exitCode = report.exitCode;
    record.attempts = flows_->lastReadAttempts();
    if (ok) {
        describeTransmitter(record, data_.actual, settings_.TSym);
        record.after = loggedConfiguration(data_.actual, settings_.TSym);
    }
    record.durationMs = clock_.nowMs() - startMs;
    logOperation(record);
    return ok;
}

void MainDialog::readCommand() {
    if (!logAllowsOperation())
        return;
    if (!readAndLog()) {
        ui_.messageBox(text::kErrorReadingData, MsgIcon::Exclamation);
        flows_->showReadFailureCause();
    }
}

void MainDialog::writeCommand() {
    model_.takeEntries();
    // The last values are a convenience; a file that cannot be written never stops a write.
    static_cast<void>(SaveLastValues(settings_.LastValuePath, model_.lastValues()));
    if (logAllowsOperation()) {
        const PortHoldScope hold(link_.transport());
        const int64_t startMs = clock_.nowMs();
        LogRecord record;
        record.operation = "write";
        record.port = settings_.Port;
        describeTransmitter(record, data_.actual, settings_.TSym);
        record.before = loggedConfiguration(data_.actual, settings_.TSym);
        flows_->WriteDataKV58();
        describeWrite(record, *flows_, data_, settings_.TSym);
        record.durationMs = clock_.nowMs() - startMs;
        logOperation(record);
    }
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
