#include "session.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "base/text.h"
#include "bsl/link_trace.h"
#include "core/dialog_ids.h"
#include "core/main_dialog.h"
#include "device/backup_reader.h"
#include "device/messages.h"
#include "invariants.h"
#include "sim/msp430_memory.h"
#include "sim/sim_port.h"

namespace kv58::faults {

namespace {

namespace fs = std::filesystem;

constexpr const char* kBackupFolder = "backup";

DeviceImage imageOf(sim::SimDevice& device) {
    const sim::Msp430Memory& memory = device.memory();
    DeviceImage image;
    for (size_t i = 0; i < kSegmentSize; ++i) {
        image.segmentA[i] = memory.read(static_cast<uint16_t>(kSegmentAAddress + i));
        image.segmentB[i] = memory.read(static_cast<uint16_t>(kSegmentBAddress + i));
    }
    for (uint32_t a = sim::kMainStart; a <= sim::kMainEnd; ++a) {
        image.flash.push_back(memory.read(static_cast<uint16_t>(a)));
    }
    return image;
}

// Every entry of every backup file, in file-name order; a file that cannot be read gives a
// damaged entry naming it.
std::vector<BackupEntry> backupEntries(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(folder, ec))
        files.push_back(f.path().string());
    std::sort(files.begin(), files.end());
    std::vector<BackupEntry> all;
    for (const std::string& file : files) {
        std::vector<BackupEntry> entries;
        std::string error;
        if (!readBackupFile(file, entries, error)) {
            BackupEntry damaged;
            damaged.damage = error;
            entries = {damaged};
        }
        all.insert(all.end(), entries.begin(), entries.end());
    }
    return all;
}

// The faults that follow the host's bytes: silence for a stretch, loss of power.
class ByteTrigger final : public TraceObserver {
public:
    ByteTrigger(sim::SimDevice& device, const FaultPlan& plan) : device_(device), plan_(plan) {}

    void onTrace(const TraceEvent& event) override {
        if (event.kind != TraceEvent::Kind::Sent)
            return;
        ++sent_;
        if (plan_.silentFrom && sent_ == *plan_.silentFrom)
            device_.faults().setSilent(true);
        if (plan_.silentUntil && sent_ == *plan_.silentUntil)
            device_.faults().setSilent(false);
        if (plan_.powerOffAt && sent_ == *plan_.powerOffAt)
            device_.losePower();
    }

private:
    sim::SimDevice& device_;
    const FaultPlan& plan_;
    uint64_t sent_ = 0;
};

std::string simName(const FaultPlan& plan) {
    return strprintf("sim:s%016llx?serial=%s&loader=%s&seed=%llu&%s",
                     static_cast<unsigned long long>(plan.seed), plan.serial.c_str(),
                     plan.loader.c_str(), static_cast<unsigned long long>(plan.seed & 0xFFFFFFFF),
                     plan.loaderOptions().c_str());
}

void chooseConfiguration(MainDialog& dialog, const FaultPlan& plan) {
    ListControl& outputs = dialog.model().list(ids::kOutputList);
    if (outputs.count() > 0)
        outputs.setSelected(plan.outputChoice % outputs.count());
    dialog.model().setControlText(ids::kTMinEdit, std::to_string(plan.tMin));
    dialog.model().setControlText(ids::kTMaxEdit, std::to_string(plan.tMax));
}

bool armFaults(sim::SimDevice& device, const FaultPlan& plan, std::string& error) {
    for (const std::string& item : plan.items) {
        if (!device.faults().arm(item, error))
            return false;
    }
    return true;
}

}  // namespace

namespace {

std::string memoryFolder() {
    std::error_code ec;
    return fs::is_directory("/dev/shm", ec) ? "/dev/shm" : "";
}

}  // namespace

SessionRunner::SessionRunner() : folder_(memoryFolder()) {}

SessionResult SessionRunner::run(uint64_t seed) {
    SessionResult result;
    const FaultPlan& plan = result.plan = planFaults(seed);
    sim::registerSimPortScheme();
    sim::forgetSimDevices();
    std::error_code ec;
    fs::remove_all(folder_.file(kBackupFolder), ec);
    const std::string port = simName(plan);
    const std::string ini =
        folder_.writeSettings(port, plan.baud,
                              strprintf("MaxWriteCnt=%d\r\nSaveData=Ja\r\nSavePath=.\\%s\r\n",
                                        plan.maxWriteCnt, kBackupFolder));

    VirtualClock clock;
    headless::QuietUi ui;
    headless::QueueView view;
    MainDialog dialog(ui, view, clock);
    // The link's data-change warning for old loaders would go to standard output, which
    // holds the campaign's report.
    dialog.link().transport().setWarningSink([](const std::string&) {});
    std::string error;
    std::shared_ptr<sim::SimDevice> device;
    if (!dialog.OnInitDialogWithIni(ini) || !(device = sim::deviceFor(port, error))) {
        std::string why = error;
        for (const headless::Shown& m : ui.messages)
            why += " " + cp1252ToUtf8(m.text);
        result.violations.push_back("set-up: the first read without faults failed:" + why);
        return result;
    }
    SessionFacts facts;
    facts.before = imageOf(*device);
    const std::string backups = folder_.file(kBackupFolder);
    facts.entriesBefore = backupEntries(backups).size();
    chooseConfiguration(dialog, plan);
    if (!armFaults(*device, plan, error)) {
        result.violations.push_back("set-up: " + error);
        return result;
    }
    ByteTrigger trigger(*device, plan);
    dialog.link().addTraceObserver(&trigger);
    ui.clear();
    const int64_t start = clock.nowUs();
    dialog.onCommand(ids::kWriteNow);
    facts.virtualUs = result.virtualUs = clock.nowUs() - start;
    dialog.link().removeTraceObserver(&trigger);
    device->faults().clear();

    facts.after = imageOf(*device);
    facts.writeImage = dialog.data().segmentAWrite;
    facts.outcome = result.outcome = dialog.flows().lastWriteOutcome();
    for (const headless::Shown& m : ui.reports()) {
        facts.failureReported |= m.icon == MsgIcon::Exclamation || m.icon == MsgIcon::None;
        result.shown.push_back(cp1252ToUtf8(m.text));
    }
    facts.identityPassed = std::count(ui.infoTexts.begin(), ui.infoTexts.end(),
                                      std::string(text::kWritingSegmentA)) > 0;
    facts.entriesAfter = backupEntries(backups);
    facts.newEntries.assign(
        facts.entriesAfter.begin() +
            static_cast<std::ptrdiff_t>(std::min(facts.entriesBefore, facts.entriesAfter.size())),
        facts.entriesAfter.end());
    result.violations = checkInvariants(facts);
    return result;
}

}  // namespace kv58::faults
